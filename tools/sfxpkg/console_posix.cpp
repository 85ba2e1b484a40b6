// Console output on POSIX: the bytes as they are.
#include <unistd.h>

#include <cstdio>

#include "console.h"

namespace sfxpkg {

void WriteStandardOutput(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

void WriteStandardError(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace sfxpkg
