// Opening the archive in front of the trailer: what it reads, what it refuses, and
// packages past 4 GiB.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "package/package_trailer.h"
#include "package/bounded_archive.h"
#include "package_extraction/member_extraction.h"
#include "platform/platform.h"
#include "support/message_box_recorder.h"
#include "support/package_fixtures.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using testsupport::Member;

namespace {

constexpr char kPassword[] = "pass word";
const std::wstring kWidePassword = L"pass word";

TEST(ArchiveAccess, ReadsOnlyTheArchiveInFrontOfTheTrailer) {
  testsupport::ScratchFolder scratch;
  const std::string image(70000, 'I');
  const std::string archive = testsupport::ZipBytes({Member("A0", "x", kPassword), Member("A1", "y", kPassword)});
  const std::string other = testsupport::ZipBytes({Member("A1", "planted", kPassword)});
  const std::string trailer = package::BuildPackageTrailer("pw", "", 1);
  const std::string signature = std::string(5, '\0') + std::string(21024, 'S');
  struct Case {
    const char* what;
    std::string front;  // up to where the archive must end
    std::string behind;
    uint64_t members;   // 0: the open fails (the run says "Corrupt archive!")
  };
  const Case cases[] = {
      {"behind an image, with a trailer and signature behind it", image + archive, trailer + signature, 2},
      {"another archive behind the trailer is not seen", image + archive, trailer + other, 2},
      {"another archive, trailer and marker behind it neither", image + archive, trailer + other + trailer, 2},
      {"an end-record signature behind the trailer is not seen", image + archive, trailer + "PK\x05\x06" + "xx", 2},
      {"a zip64 archive behind other bytes", image + testsupport::PeerArchive(testsupport::kInfoZipZip64Archive),
       trailer + signature, 4},
      {"end record 65,535 bytes before the trailer", image + archive + std::string(65535 - 22, 'S'), trailer, 2},
      {"end record 65,536 bytes before the trailer", image + archive + std::string(65536 - 22, 'S'), trailer, 0},
      {"no archive at all", image, trailer, 0},
      {"the only archive lies behind the trailer", image, trailer + archive, 0},
      {"a stray end-record signature in front of the trailer", image + archive + "PK\x05\x06" + "xx", trailer, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = scratch.Write("p.exe", c.front + c.behind);
    testsupport::MessageBoxRecorder boxes;
    const package::Archive archive(path.wstring(), c.front.size());
    EXPECT_TRUE(boxes.Boxes().empty());
    if (c.members == 0) {
      EXPECT_FALSE(archive.IsOpen());
      continue;
    }
    ASSERT_TRUE(archive.IsOpen());
    // The planted archives hold one member: the count tells which archive was opened.
    // Whole runs show that what gets extracted is the package's own.
    EXPECT_EQ(archive.MemberCount(), c.members);
  }
}

// Every offset of the package past 4 GiB: its trailer, its end records and its
// members, found and read by a 32-bit process as by a 64-bit one. The image is a
// hole in a sparse file, so the test writes only a few kilobytes.
TEST(ArchiveAccess, ReadsAPackageWhoseArchiveLiesPast4GiBIn32And64BitBuilds) {
  testsupport::ScratchFolder scratch;
  const uint64_t imageSize = (uint64_t{1} << 32) + 4096;
  const std::string member = testsupport::SampleBytes(100000);
  const std::string payload = testsupport::ZipBytes({Member("A0", "data", kPassword), Member("A1", member, kPassword)}) +
                              package::BuildPackageTrailer(kPassword, "", 1);
  const fs::path path = scratch.Path() / "large.exe";
  {
    std::ofstream out(path, std::ios::binary);
    out.seekp(static_cast<std::streamoff>(imageSize));
    out.write(payload.data(), static_cast<std::streamsize>(payload.size()));
    ASSERT_TRUE(out.good());
  }
  ASSERT_EQ(fs::file_size(path), imageSize + payload.size());

  testsupport::MessageBoxRecorder boxes;
  package::PackageTrailer trailer;
  ASSERT_EQ(package::ReadPackageTrailer(path.wstring(), trailer), package::TrailerOutcome::kRead);
  EXPECT_EQ(trailer.archiveEnd, imageSize + payload.size() - package::BuildPackageTrailer(kPassword, "", 1).size());
  package::Archive archive(path.wstring(), trailer.archiveEnd);
  ASSERT_TRUE(archive.IsOpen());
  const fs::path out = scratch.Path() / "out";
  fs::create_directories(out);
  EXPECT_EQ(package::ExtractMember(archive, out.wstring().c_str(), L"A1", L"Package.exe", kWidePassword.c_str()), 0);
  EXPECT_TRUE(testsupport::ReadFileBytes(out / "Package.exe") == member);
  EXPECT_TRUE(boxes.Boxes().empty());
}

// The run's "Corrupt archive!" box gives the system's text for the last error: the
// open leaves the system's reason there.
TEST(ArchiveAccess, AFileThatCannotBeOpenedLeavesTheSystemsReason) {
  testsupport::ScratchFolder scratch;
  platform::SetLastError(0);
  const package::Archive archive((scratch.Path() / "missing.exe").wstring(), 1000);
  EXPECT_FALSE(archive.IsOpen());
  EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
}

}  // namespace

namespace {

// The package is read from the file that was started, held so that nobody can put
// another in its place meanwhile (on POSIX the started file stays readable through
// /proc/self/exe whatever takes its path; whole runs show that).
TEST(ArchiveAccess, TheRunningProgramIsHeldWhileItIsRead) {
  platform::ReadOnlyFile image;
  ASSERT_TRUE(image.OpenRunningProgram());
  char head[2] = {};
  ASSERT_EQ(image.ReadAt(0, head, 2), 2u);
#ifdef _WIN32
  EXPECT_EQ(std::string(head, 2), "MZ");
  const fs::path self(platform::ModuleFileName());
  std::error_code error;
  fs::rename(self, self.wstring() + L".moved", error);
  EXPECT_TRUE(error) << "renamed while held";
  if (!error) fs::rename(self.wstring() + L".moved", self, error);
  EXPECT_FALSE(std::ofstream(self, std::ios::binary | std::ios::app).is_open()) << "opened for writing while held";
#else
  EXPECT_EQ(std::string(head, 2), "\x7f" "E");
#endif
}

}  // namespace
