#include "app/launcher_app.h"

#include <string>

#include "app/platform_level.h"
#include "app/working_folder.h"
#include "handoff/launcher_command_line_info.h"
#include "package/launcher_message.h"
#include "package/package_trailer.h"
#include "platform/platform.h"

namespace app {

bool LauncherApp::InitInstance() {
  if (GetPlatformLevel() < kMinimumPlatformLevel) {
    AfxMessageBox(L"Minimum OS is WinXP SP 3.", platform::kMbServiceNotification, 0);
    return false;
  }

  handoff::LauncherCommandLineInfo switches;
  ParseCommandLine(switches);

  const std::wstring launcherPath = platform::ModuleFileName();
  const platform::PathParts launcherParts = platform::SplitPath(launcherPath);
  [[maybe_unused]] const std::wstring launcherFileName = launcherParts.fileName + launcherParts.extension;

  // A launcher file that cannot be opened is not the end: the run goes on without a password.
  package::PackageTrailer trailer;
  if (package::ReadPackageTrailer(launcherPath, trailer) == package::TrailerOutcome::kDamaged) return false;

  const std::wstring workingFolder = AllocateWorkingFolder();
  if (!CreateWorkingFolder(workingFolder)) return false;

  // Extraction and the hand-off to the setup engine follow here; until they exist,
  // the empty working folder is removed again.
  platform::RemoveFolder(workingFolder);
  return false;
}

}  // namespace app
