// Writing to the console in UTF-8 on every system.
#pragma once

#include <string>

namespace sfxpkg {

// Writes UTF-8 text to standard output or standard error: as text to a Windows
// console, as UTF-8 bytes to anything else.
void WriteStandardOutput(const std::string& utf8);
void WriteStandardError(const std::string& utf8);

// Whether standard error is a terminal (a console on Windows), where a progress
// line can be redrawn in place.
bool StandardErrorIsTerminal();

}  // namespace sfxpkg
