// setup.cfg: what the setup engine learns of the launcher and its command line.
#pragma once

#include <string>

#include "handoff/launcher_command_line_info.h"

namespace handoff {

// Writes the setup engine's settings: section "Main" with the launcher path, the
// whole command line and the switches the engine reads, fourteen keys in a fixed
// order. A value's CR and LF each become a space, so no value starts a line of its
// own. Nothing is examined or reported.
void WriteSettingsFile(const std::wstring& settingsPath, const std::wstring& launcherPath,
                       const LauncherCommandLineInfo& switches);

// Writes key = value, on one line, unless value is missing or empty.
void WriteNonEmptySetting(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                          const std::wstring& path);

}  // namespace handoff
