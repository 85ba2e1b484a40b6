#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct ProgramResult {
  bool started = false;
  uint32_t exitCode = 0;  // the whole 32-bit code
  std::string standardError;
};

// Runs a program to its end with the given arguments; variables in environment
// are set for it (an empty value removes the variable).
ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                         const std::map<std::string, std::wstring>& environment = {});

}  // namespace testsupport
