// Starting the setup engine in its own folder and waiting for its exit code.
#pragma once

#include <string>

namespace handoff {

// Starts the program at targetPath, with no parameters, in the folder that holds
// it, and returns its exit code once it has ended; the system's error code when
// the start, the wait or reading the exit code fails (never 0 then).
int RunAndWait(const std::wstring& targetPath);

}  // namespace handoff
