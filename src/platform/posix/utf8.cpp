#include "platform/posix/utf8.h"

#include <cstdint>

namespace platform {

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring result;
  result.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  for (size_t i = 0; i < size;) {
    const unsigned char lead = bytes[i];
    uint32_t code = 0;
    size_t extra = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1F, extra = 1, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0F, extra = 2, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07, extra = 3, minimum = 0x10000;
    } else {
      result.push_back(L'\uFFFD');
      ++i;
      continue;
    }
    size_t j = 1;
    for (; j <= extra && i + j < size && (bytes[i + j] & 0xC0) == 0x80; ++j) code = (code << 6) | (bytes[i + j] & 0x3F);
    if (j <= extra || code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      result.push_back(L'\uFFFD');
      i += j;
      continue;
    }
    result.push_back(static_cast<wchar_t>(code));
    i += j;
  }
  return result;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string result;
  result.reserve(text.size());
  for (const wchar_t ch : text) {
    const auto code = static_cast<uint32_t>(ch);
    if (code < 0x80) {
      result.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      result.push_back(static_cast<char>(0xC0 | (code >> 6)));
      result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000 && (code < 0xD800 || code > 0xDFFF)) {
      result.push_back(static_cast<char>(0xE0 | (code >> 12)));
      result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code >= 0x10000 && code <= 0x10FFFF) {
      result.push_back(static_cast<char>(0xF0 | (code >> 18)));
      result.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      result.push_back('?');
    }
  }
  return result;
}

}  // namespace platform
