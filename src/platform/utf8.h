// UTF-8 and wide text (UTF-16 on Windows, UTF-32 elsewhere). UTF-8 is the 8-bit code
// page of POSIX hosts, and the text of sfxpkg's arguments, messages and JSON.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Lone surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);
// Malformed sequences become U+FFFD.
std::wstring Utf8ToWide(const std::string& text);
// None when text is not well-formed UTF-8.
std::optional<std::wstring> Utf8ToWideStrict(const std::string& text);

// Bytes of the POSIX hosts' 8-bit code page (file names, arguments, variables) as
// wide text and back without loss: well-formed UTF-8 is decoded, and every other
// byte is kept as U+DC80 to U+DCFF, which no UTF-8 text can hold, and given back
// as that byte.
std::wstring BytesToWide(const std::string& bytes);
std::string WideToBytes(const std::wstring& text);

}  // namespace platform
