// Reading the settings file the launcher writes, as a setup engine does.
#include "profile_file.h"

#include <fstream>
#include <iterator>

namespace demo {
namespace {

std::string Lower(std::string text) {
  for (char& ch : text) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// UTF-16LE text to UTF-8, for profile files that Windows wrote in Unicode.
std::string FromUtf16(const std::string& bytes) {
  std::string out;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    unsigned code = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size()) {
      const unsigned low = static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

}  // namespace

std::vector<ProfileEntry> ReadProfileFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.rfind("\xFF\xFE", 0) == 0) text = FromUtf16(text);
  std::vector<ProfileEntry> entries;
  std::string section;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    entries.push_back({section, Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1))});
  }
  return entries;
}

std::string ProfileValue(const std::vector<ProfileEntry>& entries, const std::string& section,
                         const std::string& key, const std::string& fallback) {
  for (const ProfileEntry& entry : entries) {
    if (Lower(entry.section) == Lower(section) && Lower(entry.key) == Lower(key)) return entry.value;
  }
  return fallback;
}

}  // namespace demo
