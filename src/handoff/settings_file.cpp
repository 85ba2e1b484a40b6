// Writing setup.cfg, the setup engine's settings, key by key.
#include "handoff/settings_file.h"

#include "platform/platform.h"

namespace handoff {
namespace {
constexpr wchar_t kSection[] = L"Main";

// Keys that carry a switch's value; the engine reads them under these names,
// misspellings included.
struct ValueSetting {
  const wchar_t* key;
  const wchar_t* switchName;
};
// The value on one line: a CR or LF in it would end the line, and what followed
// would be read as a key of its own. Each becomes a space.
std::wstring OnOneLine(std::wstring value) {
  for (wchar_t& ch : value) {
    if (ch == L'\r' || ch == L'\n') ch = L' ';
  }
  return value;
}

// A value as stored, so that the profile API's reader gives it back as meant: that
// reader drops one pair of quotation marks, double or single, that encloses a whole
// value ("C:\setup.exe" /log "C:\x.log" would lose its first and last), so such a
// value goes inside one more pair of double ones. Every other value is stored as is.
std::wstring AsStored(const std::wstring& text) {
  std::wstring value = OnOneLine(text);
  const bool enclosed = value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
                        value.back() == value.front();
  return enclosed ? L"\"" + value + L"\"" : value;
}
}  // namespace

void WriteNonEmptySetting(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                          const std::wstring& path) {
  if (value == nullptr || *value == L'\0') return;
  platform::WriteProfileEntry(section, key, AsStored(value), path);
}

void WriteSettingsFile(const std::wstring& settingsPath, const std::wstring& launcherPath,
                       const LauncherCommandLineInfo& switches) {
  const auto value = [&](const wchar_t* name) { return switches.GetSwitchValue(name); };
  const auto flag = [&](const wchar_t* name) { return switches.HasSwitch(name) ? L"1" : L"0"; };
  const auto write = [&](const wchar_t* key, const std::wstring& text) {
    WriteNonEmptySetting(kSection, key, text.c_str(), settingsPath);
  };

  platform::WriteProfileEntry(kSection, L"XParam1", AsStored(launcherPath), settingsPath);
  write(L"Shell_CommandLine", platform::CommandLine());
  write(L"Shell_Logfile", value(L"logfile"));
  write(L"Shell_Slient", value(L"silent"));
  write(L"Shell_Debug", flag(L"debug"));
  static constexpr ValueSetting kWindowSettings[] = {
      {L"Shell_Language", L"language"},          {L"Shell_ProressWnd1", L"progressctrl1"},
      {L"Shell_ProressWnd2", L"progressctrl2"},  {L"Shell_TextWnd1", L"textctrl1"},
      {L"Shell_TextWnd2", L"textctrl2"},         {L"Shell_DataWnd2", L"textdatactrl2"},
  };
  for (const ValueSetting& setting : kWindowSettings) write(setting.key, value(setting.switchName));
  // "remove" is asked only when "uninstall" is absent; either one means uninstall.
  write(L"Shell_Uninstall", switches.HasSwitch(L"uninstall") || switches.HasSwitch(L"remove") ? L"1" : L"0");
  write(L"Shell_Repair", flag(L"repair"));
  write(L"Shell_ZBT_UpdateTest", switches.HasSwitch(L"x_kivo_zbt_update_test_x") ? L"2018" : L"0");
}

}  // namespace handoff
