// What a box says also reaches a debugger, as DebugView shows it to an
// administrator of a machine nobody watches (Windows only).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/launcher_package.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// Runs program under the debugging API, as DebugView reads a machine's debug
// output, and returns every string the program sent to it.
std::vector<std::wstring> DebugStringsOf(const fs::path& program) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
  if (!CreateProcessW(program.wstring().c_str(), &commandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                      nullptr, nullptr, &startup, &process)) {
    return {};
  }
  std::vector<std::wstring> strings;
  for (bool running = true; running;) {
    DEBUG_EVENT event;
    if (!WaitForDebugEvent(&event, 120000)) break;
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT: {
        const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
        const size_t unitSize = info.fUnicode ? sizeof(wchar_t) : 1;
        std::vector<char> bytes(static_cast<size_t>(info.nDebugStringLength) * unitSize);
        SIZE_T read = 0;
        if (ReadProcessMemory(process.hProcess, info.lpDebugStringData, bytes.data(), bytes.size(), &read)) {
          if (info.fUnicode) {
            strings.emplace_back(reinterpret_cast<const wchar_t*>(bytes.data()), read / sizeof(wchar_t));
          } else {
            strings.emplace_back(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(read));
          }
          while (!strings.back().empty() && strings.back().back() == L'\0') strings.back().pop_back();
        }
        break;
      }
      case EXCEPTION_DEBUG_EVENT:
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) status = DBG_EXCEPTION_NOT_HANDLED;
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        running = false;
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return strings;
}
#endif

TEST(DebugOutput, EveryBoxTextReachesADebugger) {
#ifndef _WIN32
  GTEST_SKIP() << "on POSIX every box is written to standard error";
#else
  testsupport::ScratchFolder scratch;
  // No marker: the launcher's own "Corrupt file!" box.
  const fs::path package = testsupport::WritePackage(scratch.Path() / "Package.exe", "");
  const std::vector<std::wstring> strings = DebugStringsOf(package);
  EXPECT_NE(std::find(strings.begin(), strings.end(), L"Error: Corrupt file!\n"), strings.end())
      << strings.size() << " debug strings";
#endif
}

}  // namespace
