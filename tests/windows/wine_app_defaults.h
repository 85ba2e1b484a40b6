// Per-program settings that Wine reads from the registry when a program starts:
// HKCU\Software\Wine\AppDefaults\<program file name>. A test running inside Wine
// sets them for the packages it starts.
#pragma once

#include <windows.h>

#include <string>

namespace windowstest {

// Sets one value for every program of the given file name, for as long as it lives.
class WineAppDefault {
 public:
  // subkey: "" for the program's own key (Version), or e.g. "DllOverrides".
  WineAppDefault(const std::wstring& programName, const std::wstring& subkey, const std::wstring& name,
                 const std::wstring& value)
      : key_(L"Software\\Wine\\AppDefaults\\" + programName), subkey_(subkey) {
    const std::wstring path = subkey.empty() ? key_ : key_ + L"\\" + subkey;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
      RegCloseKey(key);
    }
  }
  ~WineAppDefault() {
    if (!subkey_.empty()) RegDeleteKeyW(HKEY_CURRENT_USER, (key_ + L"\\" + subkey_).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
  }
  WineAppDefault(const WineAppDefault&) = delete;
  WineAppDefault& operator=(const WineAppDefault&) = delete;

 private:
  std::wstring key_;
  std::wstring subkey_;
};

}  // namespace windowstest
