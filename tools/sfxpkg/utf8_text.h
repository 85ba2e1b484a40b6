// sfxpkg speaks UTF-8 everywhere: arguments, messages, JSON. These convert to and
// from the platform's wide text (UTF-16 on Windows, UTF-32 elsewhere).
#pragma once

#include <optional>
#include <string>

namespace sfxpkg {

std::string WideToUtf8(const std::wstring& text);
// None when text is not well-formed UTF-8.
std::optional<std::wstring> Utf8ToWide(const std::string& text);
bool IsAscii(const std::string& text);

}  // namespace sfxpkg
