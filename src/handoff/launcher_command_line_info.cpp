// Collecting the command line's switches and their values.
#include "handoff/launcher_command_line_info.h"

namespace handoff {
namespace {

// Only A to Z fold; no name the launcher looks up has other letters.
std::wstring LowerAscii(std::wstring text) {
  for (wchar_t& ch : text) {
    if (ch >= L'A' && ch <= L'Z') ch = static_cast<wchar_t>(ch - L'A' + L'a');
  }
  return text;
}

}  // namespace

void LauncherCommandLineInfo::ParseParam(const wchar_t* param, bool isFlag, bool /*isLast*/) {
  const std::wstring lowered = LowerAscii(param != nullptr ? param : L"");
  if (isFlag) {
    // A switch given again starts over.
    switches_[lowered] = L"1";
    pendingSwitch_ = lowered;
  } else if (!pendingSwitch_.empty()) {
    switches_[pendingSwitch_] = param != nullptr ? param : L"";
    pendingSwitch_.clear();
  }
}

bool LauncherCommandLineInfo::HasSwitch(const std::wstring& name) const {
  return switches_.find(name) != switches_.end();
}

std::wstring LauncherCommandLineInfo::GetSwitchValue(const std::wstring& name) const {
  const auto found = switches_.find(name);
  return found != switches_.end() ? found->second : std::wstring();
}

}  // namespace handoff
