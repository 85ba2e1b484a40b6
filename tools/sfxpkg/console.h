// Writing to the console in UTF-8 on every system.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace sfxpkg {

// Writes UTF-8 text to standard output or standard error: as text to a Windows
// console, as UTF-8 bytes to anything else.
void WriteStandardOutput(const std::string& utf8);
void WriteStandardError(const std::string& utf8);

// Writes bytes as they are to standard output (a package for "-o -"); false when
// they cannot all be written.
bool WriteStandardOutputBytes(const char* data, size_t size);

// Whether standard output is a terminal (a console on Windows), which takes no
// package.
bool StandardOutputIsTerminal();

// Up to limit bytes of standard input (read until its end or one byte beyond the
// limit, so that a caller can tell a longer input); none when it cannot be read.
std::optional<std::string> ReadStandardInput(size_t limit);

// Whether standard error is a terminal (a console on Windows), where a progress
// line can be redrawn in place.
bool StandardErrorIsTerminal();

}  // namespace sfxpkg
