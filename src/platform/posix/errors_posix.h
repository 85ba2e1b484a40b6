// Helpers shared by the POSIX side of the layer: Windows error numbers from errno values, absolute paths.
#pragma once

#include <optional>
#include <string>

namespace platform {
// The Windows error number that stands for an errno value.
int WindowsErrorFromErrno(int error);
// Sets the thread's last error from errno and returns false, for one-line failure paths.
bool FailWithErrno();
// path made absolute lexically, as GetFullPathName does; none when the current
// folder is unknown (the last error set).
std::optional<std::string> AbsolutePath(const std::string& path);
}  // namespace platform
