// Console output on POSIX: the bytes as they are.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

bool WriteStandardOutputBytes(const char* data, size_t size) {
  std::fflush(stdout);
  while (size > 0) {
    const ssize_t written = write(STDOUT_FILENO, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

std::optional<std::string> ReadStandardInput(size_t limit) {
  std::string text;
  char buffer[4096];
  while (text.size() <= limit) {
    const ssize_t got = read(STDIN_FILENO, buffer, std::min(sizeof buffer, limit + 1 - text.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace sfxpkg
