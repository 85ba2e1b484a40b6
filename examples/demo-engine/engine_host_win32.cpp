// The demo engine's view of its host on Windows: its own path, its report in a box, its exit code.
#include <windows.h>

#include <cstdio>

#include "engine_host.h"

namespace demo {

std::string OwnPath() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, length);
}

void ShowReport(const std::string& report, bool silent) {
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fflush(stdout);
  if (!silent) MessageBoxA(nullptr, report.c_str(), "Demo setup engine", MB_OK | MB_ICONINFORMATION);
}

uint32_t CodeTheLauncherSees(uint32_t exitCode) { return exitCode; }

}  // namespace demo
