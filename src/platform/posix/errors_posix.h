// Windows error numbers from errno values, for the POSIX side of the layer.
#pragma once

namespace platform {
// The Windows error number that stands for an errno value.
int WindowsErrorFromErrno(int error);
// Sets the thread's last error from errno and returns false, for one-line failure paths.
bool FailWithErrno();
}  // namespace platform
