// Silent runs and the exit status.
#include "app/unattended.h"

#include "platform/utf8.h"

namespace app {
namespace {

std::wstring g_logFile;

int QuietBox(const platform::MessageBoxRequest& request) {
  platform::SendToDebugger(request);
  if (!g_logFile.empty()) platform::AppendToFile(g_logFile, LogLine(platform::LocalTimeText(), request));
  return 1;  // as if OK had been pressed
}

bool IsLineBreak(wchar_t ch) { return ch == L'\r' || ch == L'\n'; }

}  // namespace

bool IsSilentRun(const handoff::LauncherCommandLineInfo& switches) {
  const std::wstring value = switches.GetSwitchValue(L"silent");
  return !value.empty() && value != L"0";
}

void ShowNoBoxes(const std::wstring& logFile) {
  g_logFile = logFile;
  platform::SetMessageBoxHandler(QuietBox);
}

std::string LogLine(const std::string& time, const platform::MessageBoxRequest& box) {
  // "Fatal error:\n\nCorrupt archive! ...\r\n" reads "Fatal error: Corrupt archive! ...".
  std::wstring text;
  for (size_t i = 0; i < box.text.size(); ++i) {
    if (!IsLineBreak(box.text[i])) {
      text.push_back(box.text[i]);
    } else if (!text.empty() && text.back() != L' ') {
      text.push_back(L' ');
    }
  }
  while (!text.empty() && text.back() == L' ') text.pop_back();
  return time + " " + platform::WideToUtf8((box.caption ? *box.caption : L"Error") + L": " + text) + "\n";
}

int ExitStatus(const StepOutcome& outcome) {
  if (!outcome.Failed()) return outcome.code;
  if (platform::kExitStatusHoldsErrorCodes) {
    // A failure must not read as success, nor as success with a reboot.
    const int code = outcome.code;
    return code == 0 || code == 1641 || code == 3010 ? platform::kErrorInstallFailure : code;
  }
  switch (outcome.stop) {
    case Stop::kOldSystem:
      return kPosixOldSystem;
    case Stop::kDamagedPackage:
      return kPosixDamagedPackage;
    case Stop::kNoWorkingFolder:
      return kPosixNoWorkingFolder;
    case Stop::kNotExtracted:
      return kPosixNotExtracted;
    case Stop::kEngineNotStarted:
    case Stop::kNone:
      break;
  }
  return kPosixEngineNotStarted;
}

}  // namespace app
