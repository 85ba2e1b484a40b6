#pragma once

#include <string>

namespace handoff {

inline constexpr int kShowNormal = 1;  // SW_SHOWNORMAL

// Starts the program at targetPath in the folder that holds it and, when wait is
// set, returns its exit code once it has ended. 0 for an empty path (nothing
// started); the system's error code when the start, the wait or reading the exit
// code fails.
int RunAndWait(const std::wstring& targetPath, const std::wstring* parameters, bool wait, int showMode);

// The form the run uses: wait for the end, normal window.
inline int RunAndWait(const std::wstring& targetPath, const std::wstring* parameters) {
  return RunAndWait(targetPath, parameters, true, kShowNormal);
}

}  // namespace handoff
