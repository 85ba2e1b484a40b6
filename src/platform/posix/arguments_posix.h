// The process's arguments, handed over by the POSIX entry point.
#pragma once

namespace platform {
// The POSIX entry point hands the process's arguments over before anything runs.
void SetProcessArguments(int argc, char** argv);
}  // namespace platform
