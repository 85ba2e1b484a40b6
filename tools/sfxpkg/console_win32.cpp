// Console output on Windows: UTF-8 text as the console shows it.
#include <windows.h>

#include "console.h"
#include "utf8_text.h"

namespace sfxpkg {
namespace {

void Write(DWORD which, const std::string& utf8) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty()) return;
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    // A console shows wide text whatever its code page.
    const std::wstring wide = Utf8ToWide(utf8).value_or(L"?");
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  DWORD written = 0;
  WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

void WriteStandardOutput(const std::string& utf8) { Write(STD_OUTPUT_HANDLE, utf8); }
void WriteStandardError(const std::string& utf8) { Write(STD_ERROR_HANDLE, utf8); }

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

}  // namespace sfxpkg
