// Console output on Windows: UTF-8 text as the console shows it.
#include <windows.h>

#include <algorithm>

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

bool WriteStandardOutputBytes(const char* data, size_t size) {
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  while (size > 0) {
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
    if (!WriteFile(handle, data, piece, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool StandardOutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
}

std::optional<std::string> ReadStandardInput(size_t limit) {
  HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string text;
  char buffer[4096];
  while (text.size() <= limit) {
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min(sizeof buffer, limit + 1 - text.size()));
    if (!ReadFile(handle, buffer, wanted, &got, nullptr)) {
      // A pipe whose writer has gone has simply ended.
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      return std::nullopt;
    }
    if (got == 0) break;
    text.append(buffer, got);
  }
  return text;
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

}  // namespace sfxpkg
