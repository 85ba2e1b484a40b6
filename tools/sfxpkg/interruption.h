// Files that an interrupted command must not leave behind.
#pragma once

#include <filesystem>
#include <string>

namespace sfxpkg {

// Ctrl-C, SIGTERM, SIGHUP, a closed pipe (POSIX) and Ctrl-C, Ctrl-Break or a closed
// console window (Windows) remove the files registered here before the program
// ends. On POSIX the signal's handler unlinks them and ends the program with the
// signal, as if unhandled; on Windows the work stops at its next piece (see
// Interrupted) and the files go as a failed command's do.
void HandleInterruptions(const std::string& command);

// A file to remove on an interruption while the registration lives. Registering
// and ending it are safe against a signal arriving meanwhile.
class RemovedOnInterruption {
 public:
  explicit RemovedOnInterruption(const std::filesystem::path& path);
  ~RemovedOnInterruption();
  RemovedOnInterruption(const RemovedOnInterruption&) = delete;
  RemovedOnInterruption& operator=(const RemovedOnInterruption&) = delete;

  // Runs step with interruptions held back, and ends the registration when step
  // returns true: a rename of the file into place happens whole or not at all.
  template <typename Step>
  bool Finish(Step step) {
    HoldInterruptions(true);
    const bool done = step();
    if (done) Release();
    HoldInterruptions(false);
    return done;
  }

 private:
  static void HoldInterruptions(bool hold);
  void Release();
  int slot_ = -1;
};

// Whether an interruption asked the work to stop (Windows; on POSIX the signal has
// already ended the program).
bool Interrupted();

}  // namespace sfxpkg
