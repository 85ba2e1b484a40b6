// What each step of the run gives back to it: whether the run goes on, the code that
// says why not, and the box the user is to see for it.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace app {

// Why a run stopped before its engine ended, as an unattended caller tells them apart.
enum class Stop {
  kNone,              // it did not: the step did its work, or the engine ran
  kOldSystem,         // the version gate refused the system
  kDamagedPackage,    // no trailer, an archive or member unreadable, a wrong password, a member missing
  kNoWorkingFolder,   // the working folder could not be created, held or named
  kNotExtracted,      // a member could not be written (a full disk, no access, no memory)
  kEngineNotStarted,  // the engine could not be started or waited for
};

struct StepOutcome {
  Stop stop = Stop::kNone;
  // The Windows error code that says why the run stopped (never 0 then); after the
  // hand-off, the setup engine's exit code.
  int code = 0;
  // The box this outcome calls for, shown by the run once it has cleaned up; none
  // where nothing more is to be said (a step may have shown boxes as it went).
  std::optional<platform::MessageBoxRequest> box;
  // For the steps after the working folder was made: whether it stays.
  bool keepsFolder = false;

  bool Failed() const { return stop != Stop::kNone; }
};

// A stop with the system's code where one failed; 1603 where none is known.
inline StepOutcome Failure(Stop stop, int code, std::optional<platform::MessageBoxRequest> box = std::nullopt,
                           bool keepsFolder = false) {
  return StepOutcome{stop, code != 0 ? code : platform::kErrorInstallFailure, std::move(box), keepsFolder};
}

// The launcher's own stop box: no owner, the system's default caption, OK and the
// stop icon, shown even where the program has no desktop of its own.
inline platform::MessageBoxRequest StopBox(const std::wstring& text) {
  platform::MessageBoxRequest request;
  request.text = text;
  request.style = platform::kMbOk | platform::kMbIconHand | platform::kMbServiceNotification;
  return request;
}

}  // namespace app
