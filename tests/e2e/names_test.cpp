// Names as users have them: on POSIX a file name, an argument or a variable is
// bytes, which need not be UTF-8, and a temporary directory may be relative.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/launcher_package.h"

namespace fs = std::filesystem;
using testsupport::LauncherSandbox;

namespace {

constexpr char kPassword[] = "names-pw";

TEST(Names, BytesThatAreNotUtf8ReachTheEngineUnchanged) {
  if (!testsupport::BoxesOnStandardError()) GTEST_SKIP() << "on Windows names are UTF-16, not bytes";
  LauncherSandbox box;
  const auto content = testsupport::ContentWithTestEngine();
  // "\xE9" is é in Latin-1: a byte that cannot stand alone in UTF-8.
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "d\xE9p" / "Caf\xE9",
                                                     testsupport::PackagePayload(content, kPassword));
  const fs::path temp = box.Scratch().Path() / "t\xE9mp";
  fs::create_directories(temp);

  const auto result = box.Start(package, {L"/logfile", platform::FromAnsi("l\xE9g")},
                                {{"TMPDIR", platform::FromAnsi(temp.string())}});
  EXPECT_EQ(result.exitCode, 0u);
  testsupport::ExpectBoxes(result, {});
  const std::string report = testsupport::ReadFileBytes(box.Report() / "report.txt");
  EXPECT_EQ(testsupport::ValueOf(report, "self"), (temp / "KIVOTemp0" / "Caf\xE9").string());
  const std::string settings = testsupport::ReadFileBytes(box.Report() / "setup.cfg");
  EXPECT_EQ(testsupport::ValueOf(settings, "XParam1"), package.string());
  EXPECT_EQ(testsupport::ValueOf(settings, "Shell_Logfile"), "l\xE9g");
}

TEST(Names, ARelativeTemporaryDirectoryIsMadeAbsolute) {
  if (!testsupport::BoxesOnStandardError()) GTEST_SKIP() << "Windows makes its temporary directory absolute itself";
  LauncherSandbox box;
  const fs::path package = testsupport::WritePackage(
      box.Scratch().Path() / "Package", testsupport::PackagePayload(testsupport::ContentWithTestEngine(), kPassword));
  const fs::path temp = box.Scratch().Path() / "relative temp";
  fs::create_directories(temp);
  // Relative to the folder the launcher starts in, which is the test's own.
  const fs::path relative = fs::relative(temp, fs::current_path());
  ASSERT_TRUE(relative.is_relative());

  const auto result = box.Start(package, {}, {{"TMPDIR", platform::FromAnsi(relative.string())}});
  EXPECT_EQ(result.exitCode, 0u);
  testsupport::ExpectBoxes(result, {});
  // The engine was started, from the working folder under its absolute path.
  const std::string report = testsupport::ReadFileBytes(box.Report() / "report.txt");
  EXPECT_EQ(testsupport::ValueOf(report, "cwd"), (fs::weakly_canonical(temp) / "KIVOTemp0").string());
}

}  // namespace
