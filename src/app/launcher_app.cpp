// The run: from the version gate through extraction and the setup engine to the clean-up.
#include "app/launcher_app.h"

#include <cstdint>
#include <string>

#include "app/extraction_names.h"
#include "app/platform_level.h"
#include "app/working_folder.h"
#include "handoff/engine_launch.h"
#include "handoff/launcher_command_line_info.h"
#include "handoff/settings_file.h"
#include "package_extraction/archive_access.h"
#include "package_extraction/fatal_error.h"
#include "package/launcher_message.h"
#include "package_extraction/member_extraction.h"
#include "package/member_table.h"
#include "package/package_trailer.h"
#include "package/user_texts.h"
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
    AfxMessageBox(package::texts::kMinimumOs, platform::kMbServiceNotification, 0);
    return false;
  }

  handoff::LauncherCommandLineInfo switches;
  ParseCommandLine(switches);

  const std::wstring launcherPath = platform::ModuleFileName();
  const platform::PathParts launcherParts = platform::SplitPath(launcherPath);
  // The setup engine is extracted and started under the package's own current name.
  const std::wstring launcherFileName = launcherParts.fileName + launcherParts.extension;
  // Where the package's name has characters the extraction's code page lacks, the
  // engine goes under a name that has none; extraction, start and clean-up agree.
  const std::wstring engineFileName = EngineFileName(launcherFileName);

  // A launcher file that cannot be opened is not the end: the run goes on without a password.
  package::PackageTrailer trailer;
  if (package::ReadPackageTrailer(launcherPath, trailer) == package::TrailerOutcome::kDamaged) return false;

  std::wstring workingFolder;
  platform::FolderInUse folderInUse;
  if (!ProvideWorkingFolder(workingFolder, folderInUse)) return false;

  // The name each member gets: the setup engine the package's own.
  auto fileNameOf = [&engineFileName](const package::PackageMember& member) {
    return member.fileName != nullptr ? member.fileName : engineFileName.c_str();
  };
  const std::wstring settingsPath = workingFolder + kSettingsFileName;
  const std::wstring enginePath = workingFolder + engineFileName;

  // An archive that cannot be opened leaves its working folder, empty, as it always has.
  bool keepFolder = true;
  bool damaged = true;
  const std::optional<std::wstring> extractionFolder = FolderForExtraction(workingFolder);
  if (!extractionFolder) {
    // One box for the folder, rather than one per member; nothing is written.
    package::ReportFatalErrorOf(package::texts::FolderNotUsable(workingFolder).c_str(),
                                platform::kErrorNoUnicodeTranslation);
    keepFolder = false;
  } else if (package::ArchiveHandle* archive = package::OpenArchive(launcherPath, trailer.archiveEnd)) {
    // The archive is read from the bytes in front of the trailer only. All four
    // members are attempted, whatever the earlier ones gave; codes are never negative.
    int64_t extractionResult = 0;
    for (const package::PackageMember& member : package::kPackageMembers) {
      extractionResult += package::ExtractMember(archive, extractionFolder->c_str(), member.archiveName,
                                                 fileNameOf(member), trailer.password.c_str());
    }
    package::CloseArchive(archive);
    damaged = extractionResult != 0;
    keepFolder = false;
    // An engine that its owner may not run cannot start: it goes like one that failed.
    if (!damaged && platform::AllowOwnerToRun(enginePath)) {
      handoff::WriteSettingsFile(settingsPath, launcherPath, switches);
      keepFolder = KeepsWorkingFolder(handoff::RunAndWait(enginePath));
    }
  }

  if (!keepFolder) {
    // What the launcher put there goes; a folder the engine left files in stays.
    platform::RemoveFile(settingsPath);
    for (const package::PackageMember& member : package::kPackageMembers) {
      platform::RemoveFile(workingFolder + fileNameOf(member));
    }
    folderInUse.Release();
    platform::RemoveFolder(workingFolder);
  }
  if (damaged) package::ShowLauncherMessage(package::texts::kCorruptFile);
  return false;
}

}  // namespace app
