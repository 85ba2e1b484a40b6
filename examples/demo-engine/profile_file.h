// Reads a profile ("ini") file such as setup.cfg: [Section] lines and key=value lines.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace demo {

struct ProfileEntry {
  std::string section, key, value;
};

// The entries in file order; empty when the file cannot be read. A file written in
// UTF-16 (with its byte order mark) is read as well as an 8-bit one.
std::vector<ProfileEntry> ReadProfileFile(const std::string& path);

// The value of key in section (section and key without regard to ASCII case), or fallback.
std::string ProfileValue(const std::vector<ProfileEntry>& entries, const std::string& section,
                         const std::string& key, const std::string& fallback = "");

}  // namespace demo
