// Running a built program to its end, the one way every test starts one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// The icon a message box shows, as a user tells them apart.
enum class BoxIcon { kNone, kStop, kExclamation, kInformation, kQuestion, kUnrecognised };

// A message box as it appeared on the screen.
struct ObservedBox {
  std::wstring caption;
  std::wstring text;
  BoxIcon icon = BoxIcon::kNone;
  std::vector<std::wstring> buttons;  // their labels, left to right
};

struct ProgramResult {
  bool started = false;
  uint32_t exitCode = 0;  // the whole 32-bit code; POSIX: 0x100 + the signal for a killed program
  std::string standardOutput;
  std::string standardError;
  // Windows: every message box of the program's own process, in the order they
  // appeared; each was answered with OK.
  std::vector<ObservedBox> boxes;
  bool timedOut = false;  // the program was ended after the time limit
};

// Runs a program to its end with the given arguments; variables in environment are
// set for it (an empty value removes the variable). Its output streams go through
// files, so neither can fill up and stall it, nor can a program it leaves running
// keep the test waiting. On Windows a program that runs for more than two minutes
// is ended, so a box nobody answers cannot hang a test.
ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                         const std::map<std::string, std::wstring>& environment = {});

// The same for a command-line tool whose arguments are given in UTF-8.
ProgramResult RunTool(const std::filesystem::path& program, const std::vector<std::string>& arguments);

}  // namespace testsupport
