// The 8-bit code pages a package may be meant for, by name.
#include "code_page.h"

#include <cstdlib>

namespace sfxpkg {

std::optional<CodePage> ParseCodePage(const std::string& text) {
  std::string lower;
  for (const char ch : text) lower.push_back(ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch);
  if (lower == "utf-8" || lower == "utf8" || lower == "65001") return CodePage{65001, "utf-8"};
  // The names code pages go by elsewhere: cp1252, windows-1252.
  for (const char* prefix : {"windows-", "cp"}) {
    if (lower.rfind(prefix, 0) == 0) lower.erase(0, std::char_traits<char>::length(prefix));
  }
  if (lower.empty() || lower.find_first_not_of("0123456789") != std::string::npos || lower.size() > 5) {
    return std::nullopt;
  }
  const unsigned number = static_cast<unsigned>(std::strtoul(lower.c_str(), nullptr, 10));
  if (number == 874 || (number >= 1250 && number <= 1258)) return CodePage{number, std::to_string(number)};
  return std::nullopt;
}

std::optional<std::string> EncodeInCodePage(const std::string& utf8, const CodePage& codePage) {
  const std::optional<std::string> bytes = ConvertWithSystem(utf8, codePage, true);
  // Only a text that comes back unchanged is one the launcher will see as given.
  if (!bytes || DecodeFromCodePage(*bytes, codePage) != utf8) return std::nullopt;
  return bytes;
}

std::optional<std::string> DecodeFromCodePage(const std::string& bytes, const CodePage& codePage) {
  return ConvertWithSystem(bytes, codePage, false);
}

}  // namespace sfxpkg
