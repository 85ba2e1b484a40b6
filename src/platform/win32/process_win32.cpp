// Profile writing and starting the setup engine through the shell.
#include <windows.h>
#include <shellapi.h>

#include "platform/platform.h"

namespace platform {

bool WriteProfileEntry(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                        const std::wstring& path) {
  return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != FALSE;
}

ProcessHandle::~ProcessHandle() { Close(); }

bool ProcessHandle::Start(const std::wstring& program, const std::wstring* parameters, const std::wstring& directory,
                          int showMode, bool keepHandle) {
  Close();
  SHELLEXECUTEINFOW info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;  // 60 bytes in the 32-bit layout
  info.fMask = keepHandle ? SEE_MASK_NOCLOSEPROCESS : 0;
  info.lpVerb = L"open";
  info.lpFile = program.c_str();
  info.lpParameters = parameters != nullptr ? parameters->c_str() : nullptr;
  info.lpDirectory = directory.c_str();
  info.nShow = showMode;
  if (!ShellExecuteExW(&info)) return false;
  handle_ = reinterpret_cast<intptr_t>(info.hProcess);
  return true;
}

bool ProcessHandle::WaitForEnd() {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), INFINITE) == WAIT_OBJECT_0;
}

bool ProcessHandle::ExitCode(uint32_t& code) {
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(reinterpret_cast<HANDLE>(handle_), &exitCode)) return false;
  code = exitCode;
  return true;
}

void ProcessHandle::Close() {
  if (handle_ != 0) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = 0;
}

}  // namespace platform
