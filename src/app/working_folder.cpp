// Choosing, creating and holding the run's working folder.
#include "app/working_folder.h"

#include "package/user_texts.h"
#include "platform/platform.h"

namespace app {
namespace {

std::wstring WithTrailingSeparator(std::wstring path) {
  if (path.empty() || path.back() != platform::kPathSeparator) path.push_back(platform::kPathSeparator);
  return path;
}

StepOutcome NotCreated(const std::wstring& folder, int code) {
  return Failure(Stop::kNoWorkingFolder, code, StopBox(package::texts::FolderNotCreated(folder)));
}

StepOutcome Provided(const platform::FolderInUse& inUse, std::wstring& folder) {
  folder = inUse.Path();
  return {};
}

}  // namespace

StepOutcome ProvideWorkingFolder(std::wstring& folder, platform::FolderInUse& inUse) {
  // An unknown temporary directory leaves the candidates in the root folder.
  const std::wstring tempDirectory = platform::TempDirectory();
  const std::wstring base = WithTrailingSeparator(tempDirectory);
  folder = base;
  // Where others may rename what the user makes, they could swap the folder mid-run.
  if (platform::OthersCanReplaceFoldersIn(base)) return NotCreated(base, platform::LastError());
  // Launchers started at the same moment must not choose the same folder.
  const platform::FolderChoiceLock choosing(tempDirectory, L"sfx-launcher.KIVOTemp");
  bool takenByOthers = false;
  for (long n = 0; n < kWorkingFolderCandidates; ++n) {
    const std::wstring candidate = base + L"KIVOTemp" + platform::Decimal(static_cast<unsigned long>(n));
    // An empty leftover of an earlier run disappears here and its number is free
    // again; a folder that another launcher is still using stays.
    platform::RemoveLeftoverFolder(candidate);
    if (platform::PathExists(candidate)) {
      takenByOthers = takenByOthers || platform::BelongsToAnotherUser(candidate);
      continue;
    }
    if (inUse.Create(candidate)) return Provided(inUse, folder);
    // Another launcher may have taken the name since it was looked at.
    if (platform::LastError() != platform::kErrorAlreadyExists) {
      folder = WithTrailingSeparator(candidate);
      return NotCreated(folder, platform::LastError());
    }
  }
  // Other users' folders must not keep the user's setup from running.
  if (takenByOthers && inUse.CreateFresh(base, L"KIVOTemp-")) return Provided(inUse, folder);
  return NotCreated(base, takenByOthers ? platform::LastError() : platform::kErrorAlreadyExists);
}

StepOutcome CheckWorkingFolder(const platform::FolderInUse& inUse) {
  if (inUse.StillHeld()) return {};
  return NotCreated(inUse.Path(), platform::LastError());
}

}  // namespace app
