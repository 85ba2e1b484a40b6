// A package as a publisher ships it: signed with osslsigncode at build time under
// a certificate made for the test (make_signed_package.py), the signature block
// after the marker.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

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

TEST(SignedPackage, RunsWithItsSignatureBehindTheMarker) {
  const fs::path signedFixture = testsupport::ProgramFolder() / "fixtures" / "signed" / "Signed Setup.exe";
  const std::string bytes = testsupport::ReadFileBytes(signedFixture);
  ASSERT_FALSE(bytes.empty());

  // The file is what signing makes of a package: the certificate table, which the
  // image's security directory points at, starts at the next multiple of 8 after
  // the marker and runs to the end of the file.
  const size_t markerEnd = bytes.rfind(package::kPackageMarker) + package::kPackageMarkerSize;
  const auto dos = At<IMAGE_DOS_HEADER>(bytes, 0);
  const auto nt = At<IMAGE_NT_HEADERS32>(bytes, static_cast<size_t>(dos.e_lfanew));
  const IMAGE_DATA_DIRECTORY security = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
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

}  // namespace
}  // namespace windowstest
