// A package as a publisher ships it: signed with osslsigncode at build time under
// a certificate made for the test (make_signed_package.py), the signature block
// after the marker. And what others make of it without breaking the signature: an
// archive and a trailer of their own in the certificate table, which the signature
// does not cover, or a security directory that names no real table.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "observed_boxes.h"
#include "package/package_trailer.h"
#include "support/launcher_package.h"

namespace fs = std::filesystem;

namespace windowstest {
namespace {

template <typename T>
T At(const std::string& bytes, size_t offset) {
  T value{};
  if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

template <typename T>
void Put(std::string& bytes, size_t offset, T value) {
  std::memcpy(&bytes[offset], &value, sizeof value);
}

// Where the security directory entry lies in a PE32 (launcher.exe) or PE32+
// (launcher64.exe) file.
size_t SecurityDirectoryAt(const std::string& bytes) {
  const size_t optional =
      static_cast<size_t>(At<IMAGE_DOS_HEADER>(bytes, 0).e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader);
  const size_t directories = At<WORD>(bytes, optional) == IMAGE_NT_OPTIONAL_HDR64_MAGIC
                                 ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                 : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
  return optional + directories + IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof(IMAGE_DATA_DIRECTORY);
}

// A file holds the bytes of the member it was extracted from. A mismatch is told by
// sizes and the file's first bytes, not by megabytes of both.
testing::AssertionResult HoldsMember(const fs::path& file, const char* member) {
  const std::string bytes = testsupport::ReadFileBytes(file);
  const std::string expected =
      testsupport::ReadFileBytes(testsupport::ProgramFolder() / "fixtures" / "infozip" / member);
  if (fs::exists(file) && bytes == expected) return testing::AssertionSuccess();
  std::string start;
  for (const char ch : bytes.substr(0, 24)) start += ch >= 0x20 && ch < 0x7F ? ch : '.';
  return testing::AssertionFailure() << file.filename() << (fs::exists(file) ? "" : " (missing)") << " holds "
                                     << bytes.size() << " bytes \"" << start << "...\", not the " << expected.size()
                                     << " of member " << member;
}

fs::path SignedFixtures() { return testsupport::ProgramFolder() / "fixtures" / "signed"; }

enum class Tamper {
  // An archive under the package's password in the table, small enough to leave
  // the package's marker within 40,948 bytes of the end of the file.
  kPlantedArchive,
  // The same with a copy of the real engine, which puts the marker farther away.
  kPlantedLargeArchive,
  // An archive under another password and a trailer for it, its marker last.
  kPlantedTrailer,
  // The unsigned package, its security directory naming no table at the end of the file,
  kNonsenseDirectory,
  // not even when its offset and size wrap around at 32 bits onto the file's size.
  kWrappingDirectory,
};

struct Tampered {
  const char* fileName;
  Tamper tamper;
};

const Tampered kTampered[] = {
    {"Grown Setup.exe", Tamper::kPlantedArchive},
    {"Grown Large Setup.exe", Tamper::kPlantedLargeArchive},
    {"Grown Far Setup.exe", Tamper::kPlantedTrailer},
    {"Nonsense Directory Setup.exe", Tamper::kNonsenseDirectory},        // runs a byte past the end
    {"Nonsense Directory Short Setup.exe", Tamper::kNonsenseDirectory},  // ends a byte short of it
    {"Nonsense Directory Wrap Setup.exe", Tamper::kWrappingDirectory},
};

TEST(SignedPackage, RunsWithItsSignatureBehindTheMarker) {
  const fs::path signedFixture = testsupport::ProgramFolder() / "fixtures" / "signed" / "Signed Setup.exe";
  const std::string bytes = testsupport::ReadFileBytes(signedFixture);
  ASSERT_FALSE(bytes.empty());

  // The file is what signing makes of a package: the certificate table, which the
  // image's security directory points at, starts at the next multiple of 8 after
  // the marker and runs to the end of the file.
  const size_t markerEnd = bytes.rfind(package::kPackageMarker) + package::kPackageMarkerSize;
  const auto security = At<IMAGE_DATA_DIRECTORY>(bytes, SecurityDirectoryAt(bytes));
  EXPECT_EQ(security.VirtualAddress, (markerEnd + 7) / 8 * 8);
  EXPECT_EQ(security.VirtualAddress + security.Size, bytes.size());
  EXPECT_GT(bytes.size() - markerEnd, 1000u);  // the end test cannot find this marker

  testsupport::LauncherSandbox box;
  const fs::path package = box.Scratch().Path() / "Downloads" / "Signed Setup.exe";
  fs::create_directories(package.parent_path());
  fs::copy_file(signedFixture, package);
  const auto result = box.Start(package, {L"/silent"});
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_TRUE(result.boxes.empty());
  // The Info-ZIP archive inside it extracted byte for byte, under the package's name.
  const fs::path members = testsupport::ProgramFolder() / "fixtures" / "infozip";
  const fs::path working = box.WorkingFolder();
  EXPECT_EQ(testsupport::ReadFileBytes(working / "setup.dat"), testsupport::ReadFileBytes(members / "A0"));
  EXPECT_EQ(testsupport::ReadFileBytes(working / "Signed Setup.exe"), testsupport::ReadFileBytes(members / "A1"));
  EXPECT_EQ(testsupport::ReadFileBytes(working / "Setup_UI.dll"), testsupport::ReadFileBytes(members / "A3"));
  EXPECT_EQ(testsupport::ReadFileBytes(working / "Setup_Exp.dll"), testsupport::ReadFileBytes(members / "A4"));
  EXPECT_TRUE(fs::exists(box.Report() / "report.txt"));  // and the engine ran
}

// The fixtures are what they claim to be, or the runs below would prove nothing: a
// grown package is the signed one byte for byte (the signature's digest skips the
// directory entry and the table), only the directory's size and the record's length
// changed, with planted bytes behind; a nonsense one is the unsigned package with
// nothing changed but its directory entry.
TEST(SignedPackage, TamperedFixturesChangeOnlyWhatTheSignatureDoesNotCover) {
  const std::string signedBytes = testsupport::ReadFileBytes(SignedFixtures() / "Signed Setup.exe");
  const std::string unsignedBytes = testsupport::ReadFileBytes(SignedFixtures() / "unsigned.exe");
  ASSERT_FALSE(signedBytes.empty());
  ASSERT_FALSE(unsignedBytes.empty());
  const size_t entry = SecurityDirectoryAt(signedBytes);
  const auto signedTable = At<IMAGE_DATA_DIRECTORY>(signedBytes, entry);
  const std::string marker(package::kPackageMarker, package::kPackageMarkerSize);

  for (const Tampered& t : kTampered) {
    SCOPED_TRACE(t.fileName);
    const std::string bytes = testsupport::ReadFileBytes(SignedFixtures() / t.fileName);
    ASSERT_FALSE(bytes.empty());
    const auto table = At<IMAGE_DATA_DIRECTORY>(bytes, entry);
    if (t.tamper == Tamper::kNonsenseDirectory || t.tamper == Tamper::kWrappingDirectory) {
      ASSERT_EQ(bytes.size(), unsignedBytes.size());
      EXPECT_NE(uint64_t{table.VirtualAddress} + table.Size, bytes.size());
      EXPECT_EQ(static_cast<uint32_t>(table.VirtualAddress + table.Size) == bytes.size(),
                t.tamper == Tamper::kWrappingDirectory);
      std::string expected = bytes;
      Put(expected, entry, IMAGE_DATA_DIRECTORY{});
      EXPECT_TRUE(expected == unsignedBytes);
      continue;
    }
    ASSERT_GT(bytes.size(), signedBytes.size());
    EXPECT_EQ(table.VirtualAddress, signedTable.VirtualAddress);
    EXPECT_EQ(uint64_t{table.VirtualAddress} + table.Size, bytes.size());
    std::string expected = signedBytes;
    Put(expected, entry + offsetof(IMAGE_DATA_DIRECTORY, Size), table.Size);
    Put(expected, table.VirtualAddress, static_cast<uint32_t>(bytes.size() - table.VirtualAddress));
    EXPECT_TRUE(bytes.compare(0, signedBytes.size(), expected) == 0);
    const std::string planted = bytes.substr(signedBytes.size());
    EXPECT_NE(planted.find("PK\x05\x06"), std::string::npos);  // an archive's end record

    // Where the marker closest to the end lies decides which trailer a launcher
    // that looks at the end of the file would take.
    const size_t afterMarker = bytes.size() - (bytes.rfind(marker) + marker.size());
    switch (t.tamper) {
      case Tamper::kPlantedArchive:
        EXPECT_EQ(planted.find(marker), std::string::npos);
        EXPECT_LE(afterMarker, package::kMaxBytesAfterMarker);
        break;
      case Tamper::kPlantedLargeArchive:
        EXPECT_EQ(planted.find(marker), std::string::npos);
        EXPECT_GT(afterMarker, package::kMaxBytesAfterMarker);
        break;
      case Tamper::kPlantedTrailer:
        EXPECT_EQ(afterMarker, 0u);
        EXPECT_GT(bytes.size() - signedBytes.size(), package::kMaxBytesAfterMarker);
        break;
      case Tamper::kNonsenseDirectory:
      case Tamper::kWrappingDirectory:
        break;
    }
  }
}

// Whatever was planted, the launcher extracts and starts only what the signed bytes
// hold, as the untouched package does.
TEST(SignedPackage, TamperedPackagesRunOnlyTheirSignedContent) {
  for (const Tampered& t : kTampered) {
    SCOPED_TRACE(t.fileName);
    testsupport::LauncherSandbox box;
    const fs::path package = box.Scratch().Path() / "Downloads" / t.fileName;
    fs::create_directories(package.parent_path());
    fs::copy_file(SignedFixtures() / t.fileName, package);
    const auto result = box.Start(package, {L"/silent"});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.boxes, std::vector<testsupport::ObservedBox>{});

    std::vector<std::string> files = testsupport::kFiveFiles;
    std::replace(files.begin(), files.end(), std::string("Package.exe"), std::string(t.fileName));
    std::sort(files.begin(), files.end());
    EXPECT_EQ(box.TempEntries("KIVOTemp0"), files);
    const fs::path working = box.WorkingFolder();
    EXPECT_TRUE(HoldsMember(working / "setup.dat", "A0"));
    EXPECT_TRUE(HoldsMember(working / t.fileName, "A1"));
    EXPECT_TRUE(HoldsMember(working / "Setup_UI.dll", "A3"));
    EXPECT_TRUE(HoldsMember(working / "Setup_Exp.dll", "A4"));
    // The engine ran, and the data file it found beside it was the signed one.
    EXPECT_TRUE(fs::exists(box.Report() / "report.txt"));
    EXPECT_TRUE(HoldsMember(box.Report() / "setup.dat", "A0"));
  }
}

}  // namespace
}  // namespace windowstest
