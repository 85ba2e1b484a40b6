// What each step of the run gives back to it: whether the run goes on, the code that
// says why not, and the box the user is to see for it.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace app {

struct StepOutcome {
  // 0 when the step did its work. Otherwise the Windows error code that says why
  // the run cannot go on; after the hand-off, the setup engine's exit code.
  int code = 0;
  // The box this outcome calls for, shown by the run once it has cleaned up; none
  // where nothing more is to be said (a step may have shown boxes as it went).
  std::optional<platform::MessageBoxRequest> box;
  // For the steps after the working folder was made: whether it stays.
  bool keepsFolder = false;

  bool Failed() const { return code != 0; }
};

inline StepOutcome Failure(int code, std::optional<platform::MessageBoxRequest> box = std::nullopt,
                           bool keepsFolder = false) {
  return StepOutcome{code, std::move(box), keepsFolder};
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
