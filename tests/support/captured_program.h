#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// A console program's run with both of its output streams kept.
struct CapturedRun {
  bool started = false;
  uint32_t exitCode = 0;
  std::string standardOutput;
  std::string standardError;
};

// Runs program with arguments given in UTF-8 and waits for its end; its output
// goes through files, so no stream can fill up and stall it.
CapturedRun RunCaptured(const std::filesystem::path& program, const std::vector<std::string>& arguments);

}  // namespace testsupport
