#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "handoff/launcher_command_line_info.h"

namespace {

using Table = std::map<std::wstring, std::wstring>;

// Feeds arguments the way the framework does: a leading "/" or "-" makes a flag and
// is removed, every other argument goes as it is.
Table Parse(const std::vector<std::wstring>& arguments) {
  handoff::LauncherCommandLineInfo info;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    const bool isFlag = !argument.empty() && (argument[0] == L'/' || argument[0] == L'-');
    info.ParseParam(argument.c_str() + (isFlag ? 1 : 0), isFlag, i + 1 == arguments.size());
  }
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
      {"only one switch character removed", {L"--x", L"//x"}, {{L"-x", L"1"}, {L"/x", L"1"}}},
      {"lone slash", {L"/", L"value"}, {{L"", L"1"}}},
      {"empty quoted value", {L"/logfile", L""}, {{L"logfile", L""}}},
      {"two trailing switches", {L"/silent", L"/debug"}, {{L"silent", L"1"}, {L"debug", L"1"}}},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Parse(c.arguments), c.expected);
  }
}

TEST(SwitchTable, PresenceAndValueLookups) {
  handoff::LauncherCommandLineInfo info;
  info.ParseParam(L"logfile", true, false);
  info.ParseParam(L"", false, false);
  info.ParseParam(L"silent", true, true);

  EXPECT_TRUE(info.HasSwitch(L"logfile"));  // present with an empty value
  EXPECT_EQ(info.GetSwitchValue(L"logfile"), L"");
  EXPECT_TRUE(info.HasSwitch(L"silent"));
  EXPECT_EQ(info.GetSwitchValue(L"silent"), L"1");
  EXPECT_FALSE(info.HasSwitch(L"debug"));
  EXPECT_EQ(info.GetSwitchValue(L"debug"), L"");
  EXPECT_FALSE(info.HasSwitch(L"Silent"));  // lookups are exact; keys are lower case
}

}  // namespace
