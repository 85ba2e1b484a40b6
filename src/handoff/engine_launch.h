// Starting the setup engine in its own folder and waiting for its exit code.
#pragma once

#include <functional>
#include <string>

namespace handoff {

// How a run of the engine went.
struct EngineRun {
  bool ended = false;  // it started and ended: code is its exit code
  int code = 0;        // otherwise the system's error code for the start, the wait or
                       // reading the exit code, whichever failed (never 0)
};

// Starts the program at targetPath, with no parameters, in the folder that holds
// it, and waits for its end. A quiet start leaves the Windows shell no box of its
// own to show when the start fails. started, where given, is called once the start
// is over, whether it succeeded or not.
EngineRun RunAndWait(const std::wstring& targetPath, bool quiet = false, const std::function<void()>& started = {});

}  // namespace handoff
