// setup.cfg as the engine reads it: its keys, their order and the profile API's ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/afxwin.h"
#include "handoff/launcher_command_line_info.h"
#include "handoff/settings_file.h"
#include "platform/platform.h"
#include "support/scratch_folder.h"

namespace {

const std::wstring kLauncherPath = L"C:\\Users\\Ann\\Downloads\\Package.exe";

// The settings file for the arguments after the program path, collected by the
// framework's feeder as the launcher collects them.
std::string SettingsFor(std::vector<std::wstring> arguments) {
  arguments.insert(arguments.begin(), kLauncherPath);
  handoff::LauncherCommandLineInfo switches;
  AfxParseArguments(arguments, switches);
  testsupport::ScratchFolder scratch;
  const std::wstring path = scratch.WithSeparator() + L"setup.cfg";
  handoff::WriteSettingsFile(path, kLauncherPath, switches);
  return testsupport::ReadFileBytes(path);
}

// The lines every file starts with: the launcher path and this process's command line.
// A command line enclosed in quotation marks (a program started under a quoted path
// without arguments) is stored inside one more pair, so the profile API reads it back.
std::string Head() {
  std::string commandLine = platform::ToAnsi(platform::CommandLine());
  if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"') {
    commandLine = "\"" + commandLine + "\"";
  }
  return "[Main]\r\nXParam1=" + platform::ToAnsi(kLauncherPath) + "\r\nShell_CommandLine=" + commandLine + "\r\n";
}

const std::string kDefaults =
    "Shell_Debug=0\r\nShell_Uninstall=0\r\nShell_Repair=0\r\nShell_ZBT_UpdateTest=0\r\n";

TEST(SettingsFile, WritesTheKeysInTheirOrder) {
  struct Case {
    const char* what;
    std::vector<std::wstring> arguments;
    std::string keys;  // everything after the command line
  };
  const Case cases[] = {
      {"no switches: six keys", {}, kDefaults},
      {"silent alone", {L"/silent"}, "Shell_Slient=1\r\n" + kDefaults},
      {"silent with a value", {L"/silent", L"2"}, "Shell_Slient=2\r\n" + kDefaults},
      {"an empty quoted value writes no key", {L"/silent", L""}, kDefaults},
      {"debug counts by presence only",
       {L"/debug", L"off"},
       "Shell_Debug=1\r\nShell_Uninstall=0\r\nShell_Repair=0\r\nShell_ZBT_UpdateTest=0\r\n"},
      {"remove", {L"/remove"}, "Shell_Debug=0\r\nShell_Uninstall=1\r\nShell_Repair=0\r\nShell_ZBT_UpdateTest=0\r\n"},
      {"uninstall and remove",
       {L"/uninstall", L"/remove"},
       "Shell_Debug=0\r\nShell_Uninstall=1\r\nShell_Repair=0\r\nShell_ZBT_UpdateTest=0\r\n"},
      {"the hidden switch in capitals",
       {L"/X_KIVO_ZBT_UPDATE_TEST_X"},
       "Shell_Debug=0\r\nShell_Uninstall=0\r\nShell_Repair=0\r\nShell_ZBT_UpdateTest=2018\r\n"},
      {"a switch name in capitals, its value as given",
       {L"/LANGUAGE", L"De"},
       "Shell_Debug=0\r\nShell_Language=De\r\nShell_Uninstall=0\r\nShell_Repair=0\r\nShell_ZBT_UpdateTest=0\r\n"},
      {"switches the engine does not read", {L"/unknown", L"x", L"-quiet"}, kDefaults},
      {"every key",
       {L"/logfile", L"C:\\Logs\\Setup.log", L"/silent", L"/debug", L"/language", L"en", L"/progressctrl1", L"101",
        L"/progressctrl2", L"102", L"/textctrl1", L"201", L"/textctrl2", L"202", L"/textdatactrl2", L"301",
        L"/uninstall", L"/repair", L"/x_kivo_zbt_update_test_x"},
       "Shell_Logfile=C:\\Logs\\Setup.log\r\nShell_Slient=1\r\nShell_Debug=1\r\nShell_Language=en\r\n"
       "Shell_ProressWnd1=101\r\nShell_ProressWnd2=102\r\nShell_TextWnd1=201\r\nShell_TextWnd2=202\r\n"
       "Shell_DataWnd2=301\r\nShell_Uninstall=1\r\nShell_Repair=1\r\nShell_ZBT_UpdateTest=2018\r\n"},
  };
  // The same expectations hold for the Windows build's profile API and the POSIX writer.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SettingsFor(c.arguments), Head() + c.keys);
  }
}

TEST(SettingsFile, TextOutsideAsciiIsWrittenInTheSystemCodePage) {
  // "Größe": code page 1252 on Windows, UTF-8 on POSIX.
  EXPECT_EQ(SettingsFor({L"/language", L"Gr\u00f6\u00dfe"}),
            Head() + "Shell_Debug=0\r\nShell_Language=Gr" + platform::ToAnsi(L"\u00f6\u00df") +
                "e\r\nShell_Uninstall=0\r\nShell_Repair=0\r\nShell_ZBT_UpdateTest=0\r\n");
}

TEST(SettingsFile, UpdatesAnExistingFileLikeTheProfileApi) {
  testsupport::ScratchFolder scratch;
  const std::wstring path = scratch.WithSeparator() + L"setup.cfg";
  platform::WriteProfileEntry(L"Main", L"A", L"1", path);
  platform::WriteProfileEntry(L"Main", L"B", L"2", path);
  platform::WriteProfileEntry(L"main", L"a", L"3", path);  // sections and keys match without regard to case
  platform::WriteProfileEntry(L"Other", L"C", L"4", path);
  EXPECT_EQ(testsupport::ReadFileBytes(path), "[Main]\r\nA=3\r\nB=2\r\n[Other]\r\nC=4\r\n");
}

TEST(SettingsFile, AValueWithALineBreakIsWrittenAsTheProfileApiWritesIt) {
  testsupport::ScratchFolder scratch;
  const std::wstring path = scratch.WithSeparator() + L"setup.cfg";
  platform::WriteProfileEntry(L"Main", L"Shell_Logfile", L"a\r\nShell_Repair=1", path);
  platform::WriteProfileEntry(L"Main", L"Shell_Repair", L"0", path);
  // The line break reaches the file: the profile API then finds a key it did not
  // write, and updates that line. Values are never quoted or escaped.
  EXPECT_EQ(testsupport::ReadFileBytes(path), "[Main]\r\nShell_Logfile=a\r\nShell_Repair=0\r\n");
}

TEST(SettingsFile, NothingIsWrittenForAnEmptyValue) {
  testsupport::ScratchFolder scratch;
  const std::wstring path = scratch.WithSeparator() + L"setup.cfg";
  handoff::WriteNonEmptySetting(L"Main", L"Key", L"", path);
  handoff::WriteNonEmptySetting(L"Main", L"Key", nullptr, path);
  EXPECT_FALSE(platform::PathExists(path));
}

}  // namespace
