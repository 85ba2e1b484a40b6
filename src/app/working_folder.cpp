// Choosing, creating and holding the run's working folder.
#include "app/working_folder.h"

#include "package/launcher_message.h"
#include "package/user_texts.h"
#include "platform/platform.h"

namespace app {
namespace {

// n in decimal, as "%ld" writes it.
std::wstring Decimal(long n) {
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + n % 10));
    n /= 10;
  } while (n > 0);
  return digits;
}

std::wstring WithTrailingSeparator(std::wstring path) {
  if (path.empty() || path.back() != platform::kPathSeparator) path.push_back(platform::kPathSeparator);
  return path;
}

}  // namespace

std::wstring AllocateWorkingFolder() {
  const std::wstring tempDirectory = platform::TempDirectory();
  // An unknown temporary directory leaves the candidates in the root folder.
  const std::wstring base = WithTrailingSeparator(tempDirectory);
  for (long n = 0; n < kWorkingFolderCandidates; ++n) {
    const std::wstring candidate = base + L"KIVOTemp" + Decimal(n);
    // An empty leftover of an earlier run disappears here and its number is free
    // again; a folder that another launcher is still using stays.
    platform::RemoveLeftoverFolder(candidate);
    if (!platform::PathExists(candidate)) return WithTrailingSeparator(candidate);
  }
  return WithTrailingSeparator(tempDirectory);
}

bool CreateWorkingFolder(const std::wstring& folder) {
  const bool created = platform::CreateFolder(folder);
  if (created) platform::SetAttributesNormal(folder);
  if (!created || !platform::PathExists(folder)) {
    package::ShowLauncherMessage(package::texts::FolderNotCreated(folder));
    return false;
  }
  return true;
}

bool ProvideWorkingFolder(std::wstring& folder, platform::FolderInUse& inUse) {
  // Launchers started at the same moment must not choose the same folder.
  const platform::FolderChoiceLock choosing(platform::TempDirectory(), L"sfx-launcher.KIVOTemp");
  folder = AllocateWorkingFolder();
  if (!CreateWorkingFolder(folder)) return false;
  if (!inUse.Hold(folder)) {
    // Unheld, another launcher could take the empty folder for its own leftover.
    platform::RemoveFolder(folder);
    package::ShowLauncherMessage(package::texts::FolderNotCreated(folder));
    return false;
  }
  return true;
}

}  // namespace app
