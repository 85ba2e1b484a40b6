// Converting text to and from a Windows code page with the system's calls.
#include <windows.h>

#include "code_page.h"
#include "utf8_text.h"

namespace sfxpkg {
namespace {

std::optional<std::wstring> ToWide(const std::string& bytes, UINT codePage) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, &wide[0], length);
  return wide;
}

// Strict: a character the code page lacks would become its default character.
std::optional<std::string> FromWide(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int length =
      WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, &bytes[0], length, nullptr, &usedDefault);
  if (usedDefault) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<std::string> ConvertWithSystem(const std::string& text, const CodePage& codePage, bool toCodePage) {
  if (codePage.number == CP_UTF8) {
    // UTF-8 to UTF-8: only well-formed text passes.
    if (!Utf8ToWide(text)) return std::nullopt;
    return text;
  }
  if (toCodePage) {
    const std::optional<std::wstring> wide = Utf8ToWide(text);
    if (!wide) return std::nullopt;
    return FromWide(*wide, codePage.number);
  }
  const std::optional<std::wstring> wide = ToWide(text, codePage.number);
  if (!wide) return std::nullopt;
  return WideToUtf8(*wide);
}

}  // namespace sfxpkg
