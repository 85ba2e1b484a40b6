// UTF-8 to and from wide text.
#include "platform/utf8.h"

#include <cstdint>

namespace platform {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;
// Where a byte that is no part of well-formed UTF-8 is kept: U+DC80 for 0x80 on.
constexpr uint32_t kEscapedByteBase = 0xDC00;

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

enum class Malformed { kReplace, kRefuse, kKeepBytes };

// Decodes text; a malformed sequence becomes U+FFFD, ends the decoding with false,
// or has its first byte kept as an escape (and decoding goes on after it).
bool Decode(const std::string& text, Malformed malformed, std::wstring& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  out.reserve(size);
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
      extra = 4;  // no lead byte at all: malformed however it goes on
    }
    size_t j = 1;
    for (; j <= extra && i + j < size && (bytes[i + j] & 0xC0) == 0x80; ++j) code = (code << 6) | (bytes[i + j] & 0x3F);
    if (extra > 3 || j <= extra || code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      if (malformed == Malformed::kRefuse) return false;
      if (malformed == Malformed::kKeepBytes) {
        AppendWide(out, kEscapedByteBase + lead);
        ++i;
        continue;
      }
      code = kReplacement;
      if (extra > 3) j = 1;
    }
    AppendWide(out, code);
    i += j;
  }
  return true;
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

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring out;
  Decode(text, Malformed::kReplace, out);
  return out;
}

std::optional<std::wstring> Utf8ToWideStrict(const std::string& text) {
  std::wstring out;
  if (!Decode(text, Malformed::kRefuse, out)) return std::nullopt;
  return out;
}

std::wstring BytesToWide(const std::string& bytes) {
  std::wstring out;
  Decode(bytes, Malformed::kKeepBytes, out);
  return out;
}

std::string WideToBytes(const std::wstring& text) {
  std::string out;
  std::wstring run;
  // Escaped bytes go back as themselves; everything between them as UTF-8.
  for (const wchar_t ch : text) {
    const auto code = static_cast<uint32_t>(ch);
    if (sizeof(wchar_t) == 4 && code >= kEscapedByteBase + 0x80 && code <= kEscapedByteBase + 0xFF) {
      out += WideToUtf8(run);
      run.clear();
      out.push_back(static_cast<char>(code - kEscapedByteBase));
    } else {
      run.push_back(ch);
    }
  }
  return out + WideToUtf8(run);
}

}  // namespace platform
