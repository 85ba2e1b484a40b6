// The run: from the version gate through extraction and the setup engine to the clean-up.
#include "app/launcher_app.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/extraction_names.h"
#include "app/platform_level.h"
#include "app/run_outcome.h"
#include "app/unattended.h"
#include "app/working_folder.h"
#include "handoff/engine_launch.h"
#include "handoff/launcher_command_line_info.h"
#include "handoff/settings_file.h"
#include "package/bounded_archive.h"
#include "package/member_table.h"
#include "package/package_trailer.h"
#include "package/user_texts.h"
#include "package_extraction/fatal_error.h"
#include "package_extraction/member_extraction.h"
#include "platform/platform.h"

namespace app {
namespace {

constexpr wchar_t kSettingsFileName[] = L"setup.cfg";

// Setup engine exit codes after which its working folder stays: success, and
// success with a reboot initiated or required.
bool KeepsWorkingFolder(int exitCode) { return exitCode == 0 || exitCode == 1641 || exitCode == 3010; }

// The package file this launcher runs from, and the names its members get.
struct PackageFiles {
  PackageFiles() { image.OpenRunningProgram(); }

  std::wstring launcherPath = platform::ModuleFileName();
  // The package, open for the whole run: its trailer and its archive are read from
  // the file that was started, which nobody can change or replace meanwhile.
  platform::ReadOnlyFile image;
  // The setup engine is extracted and started under the package's own current name;
  // where that name has characters the extraction's code page lacks, under one that
  // has none. Extraction, start and clean-up agree on it.
  std::wstring engineFileName = EngineFileName(FileNameOf(launcherPath));

  // The files the launcher puts in the working folder: the members and setup.cfg.
  std::vector<std::wstring> LauncherFileNames() const {
    std::vector<std::wstring> names{kSettingsFileName};
    for (const package::PackageMember& member : package::kPackageMembers) names.push_back(FileNameOf(member));
    return names;
  }

  const wchar_t* FileNameOf(const package::PackageMember& member) const {
    return member.fileName != nullptr ? member.fileName : engineFileName.c_str();
  }
  static std::wstring FileNameOf(const std::wstring& path) {
    const platform::PathParts parts = platform::SplitPath(path);
    return parts.fileName + parts.extension;
  }
};

// A run that stops for want of a sound package (or folder) says so last: "Corrupt file!".
StepOutcome CorruptFile(Stop stop, int code, bool keepsFolder = false) {
  return Failure(stop, code, StopBox(package::texts::kCorruptFile), keepsFolder);
}

StepOutcome CheckPlatformLevel() {
  if (GetPlatformLevel() >= kMinimumPlatformLevel) return {};
  return Failure(Stop::kOldSystem, platform::kErrorOldWinVersion,
                 AfxMessageBoxRequest(package::texts::kMinimumOs, platform::kMbServiceNotification));
}

// A launcher file that cannot be opened is not the end: the run goes on without a password.
StepOutcome ReadTrailer(PackageFiles& files, package::PackageTrailer& trailer) {
  if (package::ReadPackageTrailer(files.image, trailer) != package::TrailerOutcome::kDamaged) return {};
  return CorruptFile(Stop::kDamagedPackage, platform::kErrorInstallPackageInvalid);
}

// What a member's extraction result says of the run: a package that lacks a sound
// member is damaged, whatever the member's own code; anything else kept the member
// from its file, for the system's reason.
StepOutcome MemberFailure(int code) {
  switch (code) {
    case platform::kErrorFileNotFound:      // missing
    case platform::kErrorInvalidPassword:   // refused to open with the password
    case platform::kErrorInstallPackageInvalid:  // unreadable, a wrong password, a bad CRC
      return CorruptFile(Stop::kDamagedPackage, platform::kErrorInstallPackageInvalid);
    default:
      return CorruptFile(Stop::kNotExtracted, code);
  }
}

// The four members into the working folder, each failure with its own box as it
// happens; a damaged package is said once more at the end.
StepOutcome ExtractPackage(PackageFiles& files, const package::PackageTrailer& trailer,
                           const std::wstring& workingFolder, platform::HeldFiles& held) {
  const std::optional<std::wstring> extractionFolder = FolderForExtraction(workingFolder);
  if (!extractionFolder) {
    // One box for the folder, rather than one per member; nothing is written.
    return CorruptFile(Stop::kNoWorkingFolder,
                       package::ReportFatalErrorOf(package::texts::FolderNotUsable(workingFolder).c_str(),
                                                   platform::kErrorNoUnicodeTranslation));
  }
  // The archive is read from the bytes in front of the trailer only.
  package::Archive archive(files.image, trailer.archiveEnd);
  if (!archive.IsOpen()) {
    // An archive that cannot be opened leaves its working folder, empty, as it always has.
    return CorruptFile(Stop::kDamagedPackage,
                       package::ReportFatalError(package::texts::kCorruptArchive, platform::kErrorInstallPackageInvalid),
                       true);
  }
  // All four members are attempted, whatever the earlier ones gave. Each is held from
  // its writer on, so nobody swaps it before the engine has started.
  int firstFailure = 0;
  for (const package::PackageMember& member : package::kPackageMembers) {
    const int result = package::ExtractMember(archive, extractionFolder->c_str(), member.archiveName,
                                              files.FileNameOf(member), trailer.password.c_str(), &held);
    if (firstFailure == 0) firstFailure = result;
  }
  return firstFailure == 0 ? StepOutcome{} : MemberFailure(firstFailure);
}

// The settings file for the engine, then the engine itself, waited for; its exit
// code is the outcome. A silent run's start leaves the shell no box to show. Until
// the engine has started, nobody replaces what it will load and read: the members
// are held already, setup.cfg from its creation on.
StepOutcome HandOff(const PackageFiles& files, const handoff::LauncherCommandLineInfo& switches,
                    const std::wstring& workingFolder, bool silent, platform::HeldFiles& held) {
  const std::wstring enginePath = workingFolder + files.engineFileName;
  // An engine that its owner may not run cannot start: it goes like one that failed.
  if (!platform::AllowOwnerToRun(enginePath)) return Failure(Stop::kEngineNotStarted, platform::LastError());
  const std::wstring settingsPath = workingFolder + kSettingsFileName;
  if (!held.CreateForProfileWrites(settingsPath)) return Failure(Stop::kEngineNotStarted, platform::LastError());
  handoff::WriteSettingsFile(settingsPath, files.launcherPath, switches);
  if (!held.Hold(settingsPath)) return Failure(Stop::kEngineNotStarted, platform::LastError());
  const handoff::EngineRun run = handoff::RunAndWait(enginePath, silent, [&held] { held.Release(); });
  if (!run.ended) return Failure(Stop::kEngineNotStarted, run.code);
  return StepOutcome{Stop::kNone, run.code, std::nullopt, KeepsWorkingFolder(run.code)};
}

// What the launcher put there goes; a folder the engine left files in stays.
void RemoveWorkingFolder(const PackageFiles& files, const std::wstring& workingFolder,
                         platform::FolderInUse& folderInUse) {
  for (const std::wstring& name : files.LauncherFileNames()) platform::RemoveFile(workingFolder + name);
  folderInUse.RemoveAndRelease();
}

}  // namespace

bool LauncherApp::InitInstance() {
  // A silent run shows no box from its first step on, the version gate's included.
  handoff::LauncherCommandLineInfo switches;
  ParseCommandLine(switches);
  const bool silent = IsSilentRun(switches);
  if (silent) ShowNoBoxes(switches.GetSwitchValue(L"logfile"));

  if (StepOutcome gate = CheckPlatformLevel(); gate.Failed()) return Finish(gate);

  PackageFiles files;
  package::PackageTrailer trailer;
  if (StepOutcome read = ReadTrailer(files, trailer); read.Failed()) return Finish(read);

  std::wstring workingFolder;
  platform::FolderInUse folderInUse;
  if (StepOutcome provided = ProvideWorkingFolder(workingFolder, folderInUse); provided.Failed()) {
    return Finish(provided);
  }

  platform::HeldFiles held;
  StepOutcome outcome = ExtractPackage(files, trailer, workingFolder, held);
  // Nothing more is read of it: the engine may move or delete the package.
  files.image.Close();
  if (!outcome.Failed()) outcome = CheckWorkingFolder(folderInUse);
  if (!outcome.Failed()) outcome = HandOff(files, switches, workingFolder, silent, held);
  // A run that stopped before the engine let go of nothing yet; the files must go.
  held.Release();

  if (!outcome.keepsFolder) RemoveWorkingFolder(files, workingFolder, folderInUse);
  return Finish(outcome);
}

bool LauncherApp::Finish(StepOutcome outcome) {
  // Shown while the working folder, where it stays, is still held.
  if (outcome.box) platform::ShowMessageBox(*outcome.box);
  outcome_ = std::move(outcome);
  return false;
}

int LauncherApp::ExitInstance() { return ExitStatus(outcome_); }

}  // namespace app
