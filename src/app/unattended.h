// Runs that nobody watches: the exit status tells the caller what happened, and a
// silent run shows no box at all, so that it never waits for a click.
#pragma once

#include <string>

#include "app/run_outcome.h"
#include "handoff/launcher_command_line_info.h"
#include "platform/platform.h"

namespace app {

// True when the switch "silent" holds a value other than empty or "0".
bool IsSilentRun(const handoff::LauncherCommandLineInfo& switches);

// From here on the process shows no box. Each text that would have been one goes to
// the debugger, as a shown box's does, and, when logFile is not empty, is appended
// to that file as one line; a log that cannot be written changes nothing else.
void ShowNoBoxes(const std::wstring& logFile);

// A box's line in the log: the local time, the caption ("Error" when it has none)
// and the text with its line breaks as spaces, in UTF-8, ending in a line break.
std::string LogLine(const std::string& time, const platform::MessageBoxRequest& box);

// The process exit status of a run that ended with outcome. After the hand-off the
// engine's exit code. Before it, on Windows the outcome's error code, and on POSIX
// the status of the table below; never 0, and on Windows never 1641 or 3010.
int ExitStatus(const StepOutcome& outcome);

// The POSIX statuses (those of sysexits.h): a launcher of 8-bit exit statuses cannot
// pass on Windows error codes.
inline constexpr int kPosixDamagedPackage = 65;    // EX_DATAERR
inline constexpr int kPosixOldSystem = 69;         // EX_UNAVAILABLE
inline constexpr int kPosixEngineNotStarted = 71;  // EX_OSERR
inline constexpr int kPosixNoWorkingFolder = 73;   // EX_CANTCREAT
inline constexpr int kPosixNotExtracted = 74;      // EX_IOERR

}  // namespace app
