// What the demo engine needs from the system it runs on.
#pragma once

#include <cstdint>
#include <string>

namespace demo {

// The full path of the running program.
std::string OwnPath();

// Shows the report: on standard output, and on Windows also in a message box unless
// the launcher was started silently.
void ShowReport(const std::string& report, bool silent);

// The exit code as the launcher receives it: whole on Windows, its low 8 bits on Linux.
uint32_t CodeTheLauncherSees(uint32_t exitCode);

}  // namespace demo
