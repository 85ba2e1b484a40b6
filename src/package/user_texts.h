// Every text the user sees, in one place: English or German as the launcher has
// always shown them, spelling and all, since setup engines, their documentation and
// support staff know them by their words.
#pragma once

#include <string>

namespace package::texts {

// The launcher's own stop boxes.
inline constexpr wchar_t kMinimumOs[] = L"Minimum OS is WinXP SP 3.";
inline constexpr wchar_t kCorruptFile[] = L"Corrupt file!";
inline std::wstring FolderNotCreated(const std::wstring& folder) {
  return L"The installer has insufficient privileges to create this directory:\n" + folder +
         L".\nThe installation cannot continue.";
}

// The fatal-error box: the heading, one of the messages, then the system's text.
inline constexpr wchar_t kFatalError[] = L"Fatal error:\n\n";
inline constexpr wchar_t kCorruptArchive[] = L"Corrupt archive!";
inline constexpr wchar_t kWrongPassword[] = L"Passwort scheint fehlerhaft.";
inline constexpr wchar_t kDeleteFailed[] = L"Deletefile failed.";
inline constexpr wchar_t kNotExtracted[] = L"Datei konnte nicht entpackt werden.";
inline constexpr wchar_t kAllocFailed[] = L"Alloc failed!";
// A working folder the extraction cannot reach without loss: the message, and the folder.
inline std::wstring FolderNotUsable(const std::wstring& folder) { return kNotExtracted + (L"\n" + folder); }

}  // namespace package::texts
