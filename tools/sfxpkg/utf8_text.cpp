// UTF-8 checks and conversions for sfxpkg's arguments and messages.
#include "utf8_text.h"

#include <cstdio>

namespace sfxpkg {

bool IsAscii(const std::string& text) {
  for (const char ch : text) {
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  }
  return true;
}

Utf8Character NextUtf8Character(const std::string& text, size_t at) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return {lead, 1};
  // The sequence's length and the smallest code point it may encode (no overlong forms).
  const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (length == 0 || at + length > text.size()) return {};
  char32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return {};
    code = code << 6 | (byte(at + i) & 0x3F);
  }
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  return {code, length};
}

bool IsControlCharacter(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

std::string EscapeControls(const std::string& text) {
  std::string shown;
  for (size_t at = 0; at < text.size();) {
    const Utf8Character character = NextUtf8Character(text, at);
    char escaped[12];
    if (character.length == 0) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[at]));
      shown += escaped;
      ++at;
      continue;
    }
    if (IsControlCharacter(character.code)) {
      std::snprintf(escaped, sizeof escaped, character.code < 0x80 ? "\\x%02x" : "\\u%04x",
                    static_cast<unsigned>(character.code));
      shown += escaped;
    } else {
      shown.append(text, at, character.length);
    }
    at += character.length;
  }
  return shown;
}

}  // namespace sfxpkg
