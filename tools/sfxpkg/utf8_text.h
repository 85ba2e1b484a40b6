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

}  // namespace sfxpkg
