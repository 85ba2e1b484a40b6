// Files an attacker hands sfxpkg on POSIX: a package whose launcher image claims
// gigabytes, a FIFO in the place of a package, links planted in extract's folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "package/package_trailer.h"
#include "sfxpkg_tool.h"
#include "support/launcher_package.h"
#include "support/package_fixtures.h"
#include "support/json_value.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using sfxpkgtest::U8;
using testsupport::RunTool;

namespace {

constexpr char kPassword[] = "Pa55-word";

std::string Payload(const std::string& password = kPassword) {
  return testsupport::ZipBytes(testsupport::PackageMembers(testsupport::ContentWithTestEngine(), kPassword)) +
         package::BuildPackageTrailer(password, "", 1);
}

// AddressSanitizer reserves terabytes of address space for its shadow memory, so a
// build with it cannot run under an address-space limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// sfxpkg with its address space limited to megabytes (not under AddressSanitizer),
// and killed after 30 seconds (a FIFO would block it for ever).
testsupport::ProgramResult LimitedSfxpkg(int megabytes, const std::vector<std::string>& arguments) {
  const std::string limit = kAddressSanitizer ? "" : "ulimit -v " + std::to_string(megabytes * 1024) + " && ";
  std::string command = limit + "exec timeout 30 \"$0\"";
  for (size_t i = 0; i < arguments.size(); ++i) command += " \"$" + std::to_string(i + 1) + "\"";
  std::vector<std::string> shell = {"-c", command, U8(sfxpkgtest::SfxpkgProgram())};
  shell.insert(shell.end(), arguments.begin(), arguments.end());
  return RunTool("/bin/sh", shell);
}

// A launcher image grown by a hole of 2 GiB (a sparse file: it takes no disk),
// which verify and inspect must take in bounded memory.
TEST(HostileFiles, ALauncherImageOfGigabytesNeedsNoMoreMemory) {
  if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer cannot run under an address-space limit";
  testsupport::ScratchFolder scratch;
  const std::string launcher = testsupport::ReadFileBytes(testsupport::LauncherProgram());
  const fs::path package = scratch.Path() / "Sparse.exe";
  {
    std::ofstream out(package, std::ios::binary);
    out.write(launcher.data(), static_cast<std::streamsize>(launcher.size()));
    out.seekp(static_cast<std::streamoff>(launcher.size() + (uint64_t{2} << 30)));
    const std::string payload = Payload();
    out.write(payload.data(), static_cast<std::streamsize>(payload.size()));
  }
  const auto verified = LimitedSfxpkg(512, {"verify", U8(package)});
  EXPECT_EQ(verified.exitCode, 0u) << verified.standardError;
  EXPECT_NE(verified.standardError.find("will run"), std::string::npos) << verified.standardError;
  const auto inspected = LimitedSfxpkg(512, {"inspect", "--json", U8(package)});
  EXPECT_EQ(inspected.exitCode, 0u) << inspected.standardError;
  const auto report = testsupport::JsonValue::Parse(inspected.standardOutput);
  ASSERT_TRUE(report) << inspected.standardOutput;
  EXPECT_EQ((*report)["launcher_image"]["size"].Number(), launcher.size() + (uint64_t{2} << 30));
  EXPECT_EQ((*report)["launcher_image"]["stub"].String(), "launcher");
}

// A FIFO would block every read for ever: sfxpkg refuses it at once.
TEST(HostileFiles, AFifoIsRefusedAtOnce) {
  testsupport::ScratchFolder scratch;
  const fs::path fifo = scratch.Path() / "Package.exe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"inspect", U8(fifo)}, {"verify", U8(fifo)}, {"extract", U8(fifo), "-C", U8(scratch.Path() / "out")}}) {
    SCOPED_TRACE(command[0]);
    const auto result = LimitedSfxpkg(512, command);
    EXPECT_EQ(result.exitCode, 1u) << result.standardError;
    EXPECT_NE(result.standardError.find("it is no regular file"), std::string::npos) << result.standardError;
  }
}

// Links planted in extract's folder under the files' names are replaced, never
// written through, whether the member is good or fails its checks.
TEST(HostileFiles, ExtractNeverWritesThroughALink) {
  testsupport::ScratchFolder scratch;
  const fs::path good = testsupport::WritePackage(scratch.Path() / "Good.exe", Payload());
  const fs::path bad = testsupport::WritePackage(scratch.Path() / "Bad.exe", Payload("wrong-password"));
  for (const fs::path& package : {good, bad}) {
    SCOPED_TRACE(U8(package.filename()));
    const fs::path folder = scratch.Path() / ("out-" + package.stem().string());
    fs::create_directories(folder);
    const std::vector<std::string> names = {"setup.dat", U8(package.filename()), "Setup_UI.dll", "Setup_Exp.dll"};
    for (const std::string& name : names) {
      const fs::path victim = scratch.Write("victim-" + package.stem().string() + "-" + name, "keep " + name);
      fs::create_symlink(victim, folder / name);
    }
    const auto extracted = sfxpkgtest::Sfxpkg({"extract", U8(package), "-C", U8(folder)});
    EXPECT_EQ(extracted.exitCode, package == good ? 0u : 1u) << extracted.standardError;
    for (const std::string& name : names) {
      SCOPED_TRACE(name);
      EXPECT_EQ(testsupport::ReadFileBytes(scratch.Path() / ("victim-" + package.stem().string() + "-" + name)),
                "keep " + name);
      EXPECT_FALSE(fs::is_symlink(folder / name));
      EXPECT_EQ(fs::exists(folder / name), package == good);
    }
  }
}

}  // namespace
