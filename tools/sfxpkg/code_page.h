// The 8-bit code page of the machines a package is meant for. The launcher reads the
// trailer's text fields in the system's code page, so a text outside ASCII must be
// written in exactly that code page to be read back.
#pragma once

#include <optional>
#include <string>

namespace sfxpkg {

struct CodePage {
  unsigned number = 0;  // Windows numbering; 65001 is UTF-8, the code page of Linux launchers
  std::string name;     // as messages show it: "1252", "utf-8"
};

inline constexpr char kKnownCodePages[] =
    "874, 1250 to 1258 (also as cp1252 or windows-1252), or utf-8 (also utf8 or 65001)";

// None for anything but the known 8-bit code pages and UTF-8.
std::optional<CodePage> ParseCodePage(const std::string& text);

// The bytes of a UTF-8 text in the code page; none when a character is not in it or
// would not read back as the same text.
std::optional<std::string> EncodeInCodePage(const std::string& utf8, const CodePage& codePage);
// The UTF-8 text of bytes in the code page; none when they are not valid there.
std::optional<std::string> DecodeFromCodePage(const std::string& bytes, const CodePage& codePage);

// Converts text from UTF-8 into the code page (toCodePage) or back, with the
// system's converter; none when any character or byte has no counterpart.
std::optional<std::string> ConvertWithSystem(const std::string& text, const CodePage& codePage, bool toCodePage);

}  // namespace sfxpkg
