// What the Windows tests expect to see on the screen, and how gtest prints it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/process.h"

namespace testsupport {

inline bool operator==(const ObservedBox& a, const ObservedBox& b) {
  return a.caption == b.caption && a.text == b.text && a.icon == b.icon && a.buttons == b.buttons;
}

inline const char* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kNone:
      return "no icon";
    case BoxIcon::kStop:
      return "stop";
    case BoxIcon::kExclamation:
      return "exclamation";
    case BoxIcon::kInformation:
      return "information";
    case BoxIcon::kQuestion:
      return "question";
    case BoxIcon::kUnrecognised:
      return "unrecognised icon";
  }
  return "?";
}

inline std::string Printable(const std::wstring& text) {
  std::string out;
  for (const wchar_t ch : text) {
    if (ch == L'\n') {
      out += "\\n";
    } else if (ch == L'\r') {
      out += "\\r";
    } else if (ch >= 0x20 && ch < 0x7F) {
      out += static_cast<char>(ch);
    } else {
      out += "\\u{" + std::to_string(static_cast<unsigned>(ch)) + "}";
    }
  }
  return out;
}

inline void PrintTo(const ObservedBox& box, std::ostream* out) {
  *out << "[" << Printable(box.caption) << "] \"" << Printable(box.text) << "\" (" << IconName(box.icon) << ";";
  for (const auto& button : box.buttons) *out << " " << Printable(button);
  *out << ")";
}

}  // namespace testsupport

namespace windowstest {

using testsupport::BoxIcon;
using testsupport::ObservedBox;

// A box as a user sees it: every box of the launcher has the one button OK.
inline ObservedBox Box(const std::wstring& caption, const std::wstring& text, BoxIcon icon) {
  return ObservedBox{caption, text, icon, {L"OK"}};
}

// The launcher's own boxes have no caption of their own: the system shows "Error".
inline ObservedBox CorruptFileBox() { return Box(L"Error", L"Corrupt file!", BoxIcon::kStop); }

// The fatal-error box bears the application's name, the package's file name
// without its extension, and ends in the system's text for the last error.
inline ObservedBox FatalErrorBox(const std::wstring& appName, const std::wstring& message, int lastError) {
  return Box(appName, L"Fatal error:\n\n" + message + L" " + platform::SystemErrorText(lastError), BoxIcon::kStop);
}

inline ObservedBox VersionBox(const std::wstring& appName) {
  return Box(appName, L"Minimum OS is WinXP SP 3.", BoxIcon::kNone);
}

}  // namespace windowstest
