// The demo engine's view of its host on POSIX: its own path, its report on standard output, its exit code.
#include <unistd.h>

#include <cstdio>

#include "engine_host.h"

namespace demo {

std::string OwnPath() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

void ShowReport(const std::string& report, bool) {
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fflush(stdout);
}

uint32_t CodeTheLauncherSees(uint32_t exitCode) { return exitCode & 0xFF; }

}  // namespace demo
