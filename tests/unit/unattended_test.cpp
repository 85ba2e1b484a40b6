// What an unattended caller gets: which runs are silent, the log's lines, and the
// exit status of every kind of outcome.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/unattended.h"
#include "platform/platform.h"
#include "platform/utf8.h"

namespace {

using app::Stop;
using app::StepOutcome;

TEST(Unattended, SilentIsAnyValueButEmptyAndZero) {
  struct Case {
    std::vector<std::wstring> arguments;
    bool silent;
  };
  const Case cases[] = {
      {{}, false},
      {{L"/silent"}, true},
      {{L"-SILENT"}, true},
      {{L"/silent", L"1"}, true},
      {{L"/Silent", L"yes"}, true},
      {{L"/silent", L"0"}, false},
      {{L"/silent", L""}, false},
      {{L"/debug"}, false},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> arguments = c.arguments;
    arguments.insert(arguments.begin(), L"Package.exe");
    handoff::LauncherCommandLineInfo info;
    AfxParseArguments(arguments, info);
    SCOPED_TRACE(arguments.size() > 1 ? platform::WideToBytes(arguments[1]) : "none");
    EXPECT_EQ(app::IsSilentRun(info), c.silent);
  }
}

TEST(Unattended, ALogLineIsOneLineOfUtf8) {
  struct Case {
    platform::MessageBoxRequest box;
    std::string line;
  };
  platform::MessageBoxRequest fatal;
  fatal.caption = L"Setup \u00e9t\u00e9";
  fatal.text = L"Fatal error:\n\nCorrupt archive! Invalid function.\r\n";
  platform::MessageBoxRequest folder;
  folder.text = L"The installer has insufficient privileges to create this directory:\nC:\\T\\KIVOTemp0\\.\n"
                L"The installation cannot continue.";
  const Case cases[] = {
      {fatal, "2026-12-11 03:04:05 Setup \xc3\xa9t\xc3\xa9: Fatal error: Corrupt archive! Invalid function.\n"},
      {folder,
       "2026-12-11 03:04:05 Error: The installer has insufficient privileges to create this directory: "
       "C:\\T\\KIVOTemp0\\. The installation cannot continue.\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(app::LogLine("2026-12-11 03:04:05", c.box), c.line);
}

TEST(Unattended, TheLocalTimeHasItsFixedShape) {
  const std::string time = platform::LocalTimeText();
  ASSERT_EQ(time.size(), 19u) << time;
  for (size_t i = 0; i < time.size(); ++i) {
    const char expected = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : '#';
    if (expected == '#') {
      EXPECT_TRUE(time[i] >= '0' && time[i] <= '9') << time;
    } else {
      EXPECT_EQ(time[i], expected) << time;
    }
  }
}

TEST(Unattended, TheExitStatusTellsEachOutcomeApart) {
  struct Case {
    const char* what;
    Stop stop;
    int code;
    int windows, posix;
  };
  const Case cases[] = {
      {"the engine succeeded", Stop::kNone, 0, 0, 0},
      {"the engine asks for a reboot", Stop::kNone, 3010, 3010, 3010},
      {"the engine failed", Stop::kNone, 1603, 1603, 1603},
      {"the engine's code above 0x7FFFFFFF", Stop::kNone, static_cast<int>(0xC0000005u),
       static_cast<int>(0xC0000005u), static_cast<int>(0xC0000005u)},
      {"an old system", Stop::kOldSystem, 1150, 1150, 69},
      {"a damaged package", Stop::kDamagedPackage, 1620, 1620, 65},
      {"no working folder", Stop::kNoWorkingFolder, 5, 5, 73},
      {"a full disk", Stop::kNotExtracted, 112, 112, 74},
      {"an engine that cannot start", Stop::kEngineNotStarted, 193, 193, 71},
      // A failure that the system reported with a success code still fails.
      {"a failure with code 0", Stop::kEngineNotStarted, 0, 1603, 71},
      {"a failure with a reboot's code", Stop::kNotExtracted, 3010, 1603, 74},
      {"a failure with 1641", Stop::kNoWorkingFolder, 1641, 1603, 73},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StepOutcome outcome;
    outcome.stop = c.stop;
    outcome.code = c.code;
    EXPECT_EQ(app::ExitStatus(outcome), platform::kExitStatusHoldsErrorCodes ? c.windows : c.posix);
  }
}

}  // namespace
