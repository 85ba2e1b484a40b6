// Profile writing, and starting a program through the shell.
#include <windows.h>
#include <shellapi.h>

#include "platform/platform.h"

namespace platform {

bool WriteProfileEntry(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                        const std::wstring& path) {
  return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != FALSE;
}

bool ProcessHandle::Start(const std::wstring& program, const std::wstring& directory, bool quiet) {
  process_.Close();
  SHELLEXECUTEINFOW info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;  // 60 bytes in the 32-bit layout
  info.fMask = SEE_MASK_NOCLOSEPROCESS | (quiet ? SEE_MASK_FLAG_NO_UI : 0);
  info.lpVerb = L"open";
  info.lpFile = program.c_str();
  info.lpDirectory = directory.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) return false;
  // The shell may start nothing of its own (a document's program already runs)
  // and hand back no process: nothing to wait for is a failed start here.
  if (info.hProcess == nullptr) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  process_ = UniqueHandle(reinterpret_cast<intptr_t>(info.hProcess));
  return true;
}

bool ProcessHandle::WaitForEnd() {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(process_.Get()), INFINITE) == WAIT_OBJECT_0;
}

bool ProcessHandle::ExitCode(uint32_t& code) {
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(reinterpret_cast<HANDLE>(process_.Get()), &exitCode)) return false;
  code = exitCode;
  return true;
}

}  // namespace platform
