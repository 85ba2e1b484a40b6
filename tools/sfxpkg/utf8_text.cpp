#include "utf8_text.h"

#include <cstdint>
#include <vector>

namespace sfxpkg {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

void AppendWide(std::wstring& out, uint32_t code) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 | (code >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 | (code & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(code));
}

}  // namespace

std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = static_cast<uint32_t>(text[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
      const auto low = static_cast<uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = kReplacement;
    AppendUtf8(out, code);
  }
  return out;
}

std::optional<std::wstring> Utf8ToWide(const std::string& text) {
  std::wstring out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = bytes[i];
    size_t extra = 0;
    uint32_t code = 0;
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
      return std::nullopt;
    }
    if (i + extra >= text.size() && extra > 0) return std::nullopt;  // a sequence cut short
    for (size_t j = 1; j <= extra; ++j) {
      if ((bytes[i + j] & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (bytes[i + j] & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
    AppendWide(out, code);
    i += extra + 1;
  }
  return out;
}

bool IsAscii(const std::string& text) {
  for (const char ch : text) {
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  }
  return true;
}

}  // namespace sfxpkg
