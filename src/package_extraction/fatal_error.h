// The fatal-error box through which extraction failures reach the user.
#pragma once

namespace package {

// Shows "Fatal error:" with the caller's message and the system's text for the
// thread's last error (the caller's failed step left it), then returns code.
int ReportFatalError(const wchar_t* message, int code);

// The same for a failure that no system call reported: the system's text is that
// of code itself.
int ReportFatalErrorOf(const wchar_t* message, int code);

}  // namespace package
