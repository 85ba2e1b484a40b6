// The launcher's own stop box, through which its texts without a system part go.
#pragma once
#include <string>

namespace package {

// No owner, the system's default caption, OK and the stop icon, shown even where
// the program has no desktop of its own.
void ShowLauncherMessage(const std::wstring& text);

}  // namespace package
