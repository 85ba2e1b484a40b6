// The version gate against the versions Wine really reports, set per program.
#include <gtest/gtest.h>

#include "observed_boxes.h"
#include "support/launcher_package.h"
#include "wine_app_defaults.h"

namespace fs = std::filesystem;

namespace windowstest {
namespace {

constexpr uint32_t Reported(uint32_t platformId, uint32_t major, uint32_t minor) {
  return platformId << 16 | major << 8 | minor;
}

TEST(VersionGate, RealVersionReports) {
  struct Case {
    std::wstring version;
    uint32_t reported;  // what a program with the launcher's manifest is told
    bool refused;
  };
  const Case cases[] = {
      {L"win98", Reported(1, 4, 10), true},  // not an NT system
      {L"win2k", Reported(2, 5, 0), true},
      {L"winxp", Reported(2, 5, 1), false},  // SP3, though the service pack is not looked at
      {L"win2003", Reported(2, 5, 2), false},
      {L"win10", Reported(2, 10, 0), false},
  };
  const auto content = testsupport::ContentWithTestEngine();
  for (const Case& c : cases) {
    SCOPED_TRACE(testsupport::Printable(c.version));
    const std::wstring appName = L"Setup for " + c.version;
    const WineAppDefault reported(appName + L".exe", L"", L"Version", c.version);
    testsupport::LauncherSandbox box;

    // The version really reported to a program of that name...
    const fs::path probe = box.Scratch().Path() / "probe" / (appName + L".exe");
    fs::create_directories(probe.parent_path());
    fs::copy_file(testsupport::ProgramFolder() / "report_version.exe", probe);
    EXPECT_EQ(testsupport::RunProgram(probe, {}).exitCode, c.reported);

    // ...and what the launcher makes of it.
    const fs::path package =
        testsupport::WritePackage(box.Scratch().Path() / (appName + L".exe"),
                                  testsupport::PackagePayload(testsupport::PackageMembers(content, "pw"), "pw"));
    const auto result = box.Start(package);
    if (c.refused) {
      EXPECT_EQ(result.exitCode, 1150u);  // ERROR_OLD_WIN_VERSION
      EXPECT_EQ(result.boxes, std::vector<ObservedBox>{VersionBox(appName)});
      EXPECT_TRUE(box.TempEntries().empty());
      EXPECT_FALSE(fs::exists(box.Report()));
      // Unattended, the gate refuses without a box, and says why in the log.
      const fs::path log = box.Scratch().Path() / "logs" / "setup.log";
      const auto silent = box.Start(package, {L"/silent", L"/logfile", log.wstring()});
      EXPECT_EQ(silent.exitCode, 1150u);
      EXPECT_TRUE(silent.boxes.empty());
      EXPECT_FALSE(silent.timedOut);
      testsupport::ExpectLogLines(log, {{testsupport::Utf8(appName), "Minimum OS is WinXP SP 3."}});
    } else {
      EXPECT_EQ(result.exitCode, 0u);
      EXPECT_TRUE(result.boxes.empty());
      EXPECT_TRUE(fs::exists(box.Report() / "report.txt"));  // the engine ran
      EXPECT_EQ(box.TempEntries("KIVOTemp0").size(), 5u);
    }
  }
}

}  // namespace
}  // namespace windowstest
