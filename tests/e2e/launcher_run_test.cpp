// Whole runs of the built launcher, as a user starts it: packages made of the real
// launcher image, a real encrypted archive and a trailer, with a test setup engine.
#include <gtest/gtest.h>

#include <fstream>

#include "package/package_trailer.h"
#include "platform/platform.h"
#include "support/launcher_package.h"

namespace fs = std::filesystem;
using testsupport::LauncherSandbox;

namespace {

constexpr char kPassword[] = "Pa55-word";
const std::vector<std::string> kFiveFiles = {"Package.exe", "Setup_Exp.dll", "Setup_UI.dll", "setup.cfg",
                                             "setup.dat"};

void ExpectBoxes(const testsupport::ProgramResult& result, const std::string& expected) {
  if (testsupport::BoxesOnStandardError()) {
    EXPECT_EQ(result.standardError, expected);
  }
}

std::string Line(const std::string& text, const std::string& key) {
  const size_t at = text.find(key + "=");
  if (at == std::string::npos) return "<no " + key + ">";
  const size_t start = at + key.size() + 1;
  return text.substr(start, text.find('\n', start) - start);
}

std::string Utf8(const std::wstring& text) { return fs::path(text).u8string(); }

TEST(LauncherRun, AFileWithoutMarkerIsCorrupt) {
  LauncherSandbox box;
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe", "");
  const auto result = box.Start(package, {L"/silent"});
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u);
  ExpectBoxes(result, "Corrupt file!\n");
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST(LauncherRun, TheTypicalRunHandsOverToTheEngine) {
  LauncherSandbox box;
  const auto content = testsupport::ContentWithTestEngine();
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Downloads folder" / "Package.exe",
                                                     testsupport::PackagePayload(testsupport::PackageMembers(content, kPassword), kPassword));
  const std::wstring log = (box.Scratch().Path() / "Logs" / "setup.log").wstring();
  // 3010: success, reboot required. A POSIX exit status holds only 8 bits, so there 0.
  const std::wstring exitCode = testsupport::BoxesOnStandardError() ? L"0" : L"3010";

  const auto result = box.Start(package, {L"/silent", L"/logfile", log}, {{"SFX_TEST_EXIT", exitCode}});
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u);
  ExpectBoxes(result, "");

  // The engine ran in the working folder, under the package's name, with no arguments.
  const std::string report = testsupport::ReadFileBytes(box.Report() / "report.txt");
  EXPECT_EQ(Line(report, "cwd"), box.WorkingFolder().u8string());
  EXPECT_EQ(Line(report, "self"), (box.WorkingFolder() / "Package.exe").u8string());
  EXPECT_EQ(Line(report, "arguments"), "0");
  // It found the four members byte for byte and the settings file beside it...
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "setup.dat"), content.data);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Package.exe"), content.engine);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Setup_UI.dll"), content.ui);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Setup_Exp.dll"), content.exp);
  const std::string commandLine = Utf8(platform::QuoteArgument(package.wstring())) + " /silent /logfile " +
                                  Utf8(platform::QuoteArgument(log));
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "setup.cfg"),
            "[Main]\r\n"
            "XParam1=" + package.u8string() + "\r\n"
            "Shell_CommandLine=" + commandLine + "\r\n"
            "Shell_Logfile=" + Utf8(log) + "\r\n"
            "Shell_Slient=1\r\n"
            "Shell_Debug=0\r\n"
            "Shell_Uninstall=0\r\n"
            "Shell_Repair=0\r\n"
            "Shell_ZBT_UpdateTest=0\r\n");
  // ...and all five stay after a successful setup.
  EXPECT_EQ(box.TempEntries(), std::vector<std::string>{"KIVOTemp0"});
  EXPECT_EQ(box.TempEntries("KIVOTemp0"), kFiveFiles);
}

}  // namespace
