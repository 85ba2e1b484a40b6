// A progress line for long work, on a terminal only.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "command_messages.h"

namespace sfxpkg {

// "sfxpkg verify: 42% of 4.3 GiB", redrawn in place at most a few times a second
// on standard error and cleared when the work is done. Nothing when standard error
// is no terminal, with -q, or for work too small to wait for. total counts the bytes
// Add hears of; the line names the size of what is worked on, shown (the members'
// size where each is read twice).
class Progress {
 public:
  Progress(const CommandMessages& messages, uint64_t total, uint64_t shown);
  Progress(const CommandMessages& messages, uint64_t total) : Progress(messages, total, total) {}
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Add(uint64_t bytes);

 private:
  void Draw();

  std::string command_;
  uint64_t total_ = 0;
  uint64_t shownTotal_ = 0;
  uint64_t done_ = 0;
  bool shown_ = false;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace sfxpkg
