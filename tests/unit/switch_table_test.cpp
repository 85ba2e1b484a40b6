// The switch table as the framework's feeder fills it from a process's arguments.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/afxwin.h"
#include "handoff/launcher_command_line_info.h"

namespace {

using Table = std::map<std::wstring, std::wstring>;

constexpr wchar_t kProgram[] = L"C:\\Users\\Ann\\Downloads\\Package.exe";

// What the switch table holds for the arguments after the program path.
Table Parse(std::vector<std::wstring> arguments) {
  arguments.insert(arguments.begin(), kProgram);
  handoff::LauncherCommandLineInfo info;
  AfxParseArguments(arguments, info);
  return info.Switches();
}

struct SwitchCase {
  const char* what;
  std::vector<std::wstring> arguments;
  Table expected;
};

TEST(SwitchTable, CollectsSwitchesAndTheirValues) {
  const SwitchCase cases[] = {
      {"no arguments", {}, {}},
      {"slash and case folding", {L"/Silent"}, {{L"silent", L"1"}}},
      {"dash", {L"-SILENT"}, {{L"silent", L"1"}}},
      {"value keeps its case", {L"/LogFile", L"C:\\Logs\\Run.TXT"}, {{L"logfile", L"C:\\Logs\\Run.TXT"}}},
      {"one value only", {L"/logfile", L"a", L"b"}, {{L"logfile", L"a"}}},
      {"repeat starts over", {L"/logfile", L"a", L"/logfile"}, {{L"logfile", L"1"}}},
      {"last occurrence wins", {L"/logfile", L"a", L"/logfile", L"b"}, {{L"logfile", L"b"}}},
      {"a value never starts with a switch character",
       {L"/language", L"-de"},
       {{L"language", L"1"}, {L"de", L"1"}}},
      {"no equals syntax", {L"/language=de"}, {{L"language=de", L"1"}}},
      {"plain argument with nothing pending", {L"x", L"/silent"}, {{L"silent", L"1"}}},
      {"only one switch character removed", {L"--x", L"-/x"}, {{L"-x", L"1"}, {L"/x", L"1"}}},
      {"lone slash", {L"/", L"value"}, {{L"", L"1"}}},
      {"empty quoted value", {L"/logfile", L""}, {{L"logfile", L""}}},
      {"two trailing switches", {L"/silent", L"/debug"}, {{L"silent", L"1"}, {L"debug", L"1"}}},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Parse(c.arguments), c.expected);
  }
}

TEST(SwitchTable, TheProgramPathIsNeverASwitch) {
  handoff::LauncherCommandLineInfo info;
  AfxParseArguments({L"/silent"}, info);  // a program started under a switch's name
  EXPECT_TRUE(info.Switches().empty());
}

// On POSIX an absolute path begins with "/": an argument that begins with "/" and
// holds another "/" is a plain argument there. Windows has no such paths.
TEST(SwitchTable, AnArgumentThatIsAnAbsolutePathOnPosix) {
  struct Case {
    const char* what;
    std::vector<std::wstring> arguments;
    Table posix, windows;
  };
  const Case cases[] = {
      {"a log file's path",
       {L"/logfile", L"/var/log/setup.log"},
       {{L"logfile", L"/var/log/setup.log"}},
       {{L"logfile", L"1"}, {L"var/log/setup.log", L"1"}}},
      {"two slashes", {L"//x"}, {}, {{L"/x", L"1"}}},
      {"a trailing slash", {L"/x/"}, {}, {{L"x/", L"1"}}},
      {"one slash only is a switch everywhere", {L"/silent"}, {{L"silent", L"1"}}, {{L"silent", L"1"}}},
      {"a dash is never a path", {L"-var/log"}, {{L"var/log", L"1"}}, {{L"var/log", L"1"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
#ifdef _WIN32
    EXPECT_EQ(Parse(c.arguments), c.windows);
#else
    EXPECT_EQ(Parse(c.arguments), c.posix);
#endif
  }
}

TEST(SwitchTable, LooksUpPresenceAndValue) {
  handoff::LauncherCommandLineInfo info;
  AfxParseArguments({kProgram, L"/logfile", L"", L"/silent"}, info);
  EXPECT_TRUE(info.HasSwitch(L"logfile"));  // present with an empty value
  EXPECT_EQ(info.GetSwitchValue(L"logfile"), L"");
  EXPECT_TRUE(info.HasSwitch(L"silent"));
  EXPECT_EQ(info.GetSwitchValue(L"silent"), L"1");
  EXPECT_FALSE(info.HasSwitch(L"debug"));
  EXPECT_EQ(info.GetSwitchValue(L"debug"), L"");
  EXPECT_FALSE(info.HasSwitch(L"Silent"));  // lookups are exact; keys are lower case
}

}  // namespace
