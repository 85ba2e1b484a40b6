// Starting the setup engine and waiting for it, with a failure never read as success.
#include "handoff/engine_launch.h"

#include <cstdint>

#include "platform/platform.h"

namespace handoff {
namespace {
// A wait that keeps failing is not repeated for ever.
constexpr int kWaitAttempts = 16;

// The system's code for what just failed. The shell may fail after showing its own
// box and leave no code behind; a failure must never read as the engine's success.
EngineRun Failed() {
  const int error = platform::LastError();
  return EngineRun{false, error != 0 ? error : platform::kErrorInvalidFunction};
}
}  // namespace

EngineRun RunAndWait(const std::wstring& targetPath, bool quiet, const std::function<void()>& started) {
  const platform::PathParts parts = platform::SplitPath(targetPath);
  platform::ProcessHandle process;
  const bool running = process.Start(targetPath, parts.drive + parts.directory, quiet);
  const int error = platform::LastError();
  if (started) started();
  platform::SetLastError(error);
  if (!running) return Failed();

  bool ended = false;
  for (int attempt = 0; attempt < kWaitAttempts && !ended; ++attempt) ended = process.WaitForEnd();
  uint32_t exitCode = 0;
  if (!ended || !process.ExitCode(exitCode)) return Failed();
  return EngineRun{true, static_cast<int>(exitCode)};
}

}  // namespace handoff
