// The whole package reader on arbitrary package bytes: trailer, archive and the
// four extractions into a scratch folder. Nothing may crash or leak, and nothing
// may be written outside the output folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "package/bounded_archive.h"
#include "package_extraction/member_extraction.h"
#include "package/package_trailer.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

int IgnoreBox(const platform::MessageBoxRequest&) { return 1; }

struct Scratch {
  fs::path root;
  fs::path package;
  fs::path out;
  Scratch() {
    root = fs::temp_directory_path() / ("sfx-fuzz-package-" + std::to_string(getpid()));
    fs::create_directories(root);
    package = root / "package.exe";
    out = root / "out";
    platform::SetMessageBoxHandler(&IgnoreBox);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  {
    std::ofstream file(scratch.package, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  fs::create_directories(scratch.out);

  package::PackageTrailer trailer;
  if (package::ReadPackageTrailer(scratch.package.wstring(), trailer) != package::TrailerOutcome::kDamaged) {
    package::Archive archive(scratch.package.wstring(), trailer.archiveEnd);
    if (archive.IsOpen()) {
      const std::wstring folder = scratch.out.wstring();
      for (const wchar_t* member : {L"A0", L"A1", L"A3", L"A4"}) {
        package::ExtractMember(archive, folder.c_str(), member, L"member.bin", trailer.password.c_str());
      }
      // The member's own names, folders and all, as no new name gives them.
      package::ExtractMember(archive, folder.c_str(), L"A1", nullptr, trailer.password.c_str());
    }
  }

  // Only the package and the output folder may exist in the scratch folder.
  for (const auto& entry : fs::directory_iterator(scratch.root)) {
    if (entry.path() != scratch.package && entry.path() != scratch.out) std::abort();
  }
  fs::remove_all(scratch.out);
  return 0;
}
