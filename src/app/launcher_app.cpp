#include "app/launcher_app.h"

#include <cstdint>
#include <string>

#include "app/platform_level.h"
#include "app/working_folder.h"
#include "handoff/engine_launch.h"
#include "handoff/launcher_command_line_info.h"
#include "handoff/settings_file.h"
#include "package/archive_access.h"
#include "package/launcher_message.h"
#include "package/member_extraction.h"
#include "package/member_table.h"
#include "package/package_trailer.h"
#include "platform/platform.h"

namespace app {
namespace {

constexpr wchar_t kSettingsFileName[] = L"setup.cfg";

// Setup engine exit codes after which its working folder stays: success, and
// success with a reboot initiated or required.
bool KeepsWorkingFolder(int exitCode) { return exitCode == 0 || exitCode == 1641 || exitCode == 3010; }

}  // namespace

bool LauncherApp::InitInstance() {
  if (GetPlatformLevel() < kMinimumPlatformLevel) {
    AfxMessageBox(L"Minimum OS is WinXP SP 3.", platform::kMbServiceNotification, 0);
    return false;
  }

  handoff::LauncherCommandLineInfo switches;
  ParseCommandLine(switches);

  const std::wstring launcherPath = platform::ModuleFileName();
  const platform::PathParts launcherParts = platform::SplitPath(launcherPath);
  // The setup engine is extracted and started under the package's own current name.
  const std::wstring launcherFileName = launcherParts.fileName + launcherParts.extension;

  // A launcher file that cannot be opened is not the end: the run goes on without a password.
  package::PackageTrailer trailer;
  if (package::ReadPackageTrailer(launcherPath, trailer) == package::TrailerOutcome::kDamaged) return false;

  // Another launcher started at the same moment must neither choose this folder
  // nor take it for an empty leftover before anything is in it.
  std::wstring workingFolder;
  platform::FolderInUse folderInUse;
  {
    platform::FolderChoiceLock choosing;
    workingFolder = AllocateWorkingFolder();
    if (!CreateWorkingFolder(workingFolder)) return false;
    folderInUse.Hold(workingFolder);
  }

  // The archive is read from the bytes in front of the trailer only.
  package::ArchiveHandle* archive = package::OpenArchive(launcherPath, trailer.archiveEnd);
  if (archive == nullptr) {
    // The empty working folder stays.
    package::ShowLauncherMessage(package::kCorruptFileText);
    return false;
  }

  const std::wstring settingsPath = workingFolder + kSettingsFileName;
  const std::wstring enginePath = workingFolder + launcherFileName;
  // The name each member gets: the setup engine the package's own.
  auto fileNameOf = [&launcherFileName](const package::PackageMember& member) {
    return member.fileName != nullptr ? member.fileName : launcherFileName.c_str();
  };
  // All four are attempted, whatever the earlier ones gave; codes are never negative.
  int64_t result = 0;
  for (const package::PackageMember& member : package::kPackageMembers) {
    result += package::ExtractMember(archive, workingFolder.c_str(), member.archiveName, fileNameOf(member),
                                     trailer.password.c_str());
  }
  package::CloseArchive(archive);

  bool showError = true;
  if (result == 0) {
    showError = false;
    platform::AllowOwnerToRun(enginePath);
    handoff::WriteSettingsFile(settingsPath, launcherPath, switches);
    result = handoff::RunAndWait(enginePath, nullptr);
    if (KeepsWorkingFolder(static_cast<int>(result))) return false;
  }

  // Clean-up: what the launcher put there goes; a folder the engine left files in stays.
  platform::RemoveFile(settingsPath);
  for (const package::PackageMember& member : package::kPackageMembers) {
    platform::RemoveFile(workingFolder + fileNameOf(member));
  }
  folderInUse.Release();
  platform::RemoveFolder(workingFolder);
  if (result != 0 && showError) package::ShowLauncherMessage(package::kCorruptFileText);
  return false;
}

}  // namespace app
