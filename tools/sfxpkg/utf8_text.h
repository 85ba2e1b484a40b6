// sfxpkg speaks UTF-8 everywhere: arguments, messages, JSON. The conversions to and
// from the platform's wide text are the platform layer's.
#pragma once

#include <optional>
#include <string>

#include "platform/utf8.h"

namespace sfxpkg {

using platform::WideToUtf8;
// None when text is not well-formed UTF-8.
inline std::optional<std::wstring> Utf8ToWide(const std::string& text) { return platform::Utf8ToWideStrict(text); }
bool IsAscii(const std::string& text);

// The character whose UTF-8 form begins at text[at] (at < text.size()); length 0
// for a byte that begins no well-formed sequence there.
struct Utf8Character {
  char32_t code = 0;
  size_t length = 0;
};
Utf8Character NextUtf8Character(const std::string& text, size_t at);

// C0 controls, DEL and the C1 controls: a terminal acts on them rather than
// showing them.
bool IsControlCharacter(char32_t code);

// text as a terminal may show it: control characters as \x1b (\u009b for C1
// controls) and bytes that are no UTF-8 as \xff; everything else as it is.
std::string EscapeControls(const std::string& text);

}  // namespace sfxpkg
