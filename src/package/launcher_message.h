#pragma once
#include <string>

namespace package {

inline constexpr wchar_t kCorruptFileText[] = L"Corrupt file!";

// The launcher's own stop box: no owner, the system's default caption, OK and the
// stop icon, shown even where the program has no desktop of its own.
void ShowLauncherMessage(const std::wstring& text);

}  // namespace package
