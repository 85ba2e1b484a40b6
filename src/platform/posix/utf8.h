#pragma once
#include <string>

namespace platform {
// UTF-8, the 8-bit code page of POSIX hosts. Malformed input becomes U+FFFD;
// characters that cannot be encoded become '?', the way a Windows code page's
// default character stands in for what it lacks.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
}  // namespace platform
