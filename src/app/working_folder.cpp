// Choosing, creating and holding the run's working folder.
#include "app/working_folder.h"

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

namespace {

StepOutcome NotCreated(const std::wstring& folder, int code) {
  return Failure(Stop::kNoWorkingFolder, code, StopBox(package::texts::FolderNotCreated(folder)));
}

}  // namespace

StepOutcome CreateWorkingFolder(const std::wstring& folder) {
  const bool created = platform::CreateFolder(folder);
  const int error = platform::LastError();
  if (created) platform::SetAttributesNormal(folder);
  if (!created || !platform::PathExists(folder)) return NotCreated(folder, created ? 0 : error);
  return {};
}

StepOutcome ProvideWorkingFolder(std::wstring& folder, platform::FolderInUse& inUse) {
  // Launchers started at the same moment must not choose the same folder.
  const platform::FolderChoiceLock choosing(platform::TempDirectory(), L"sfx-launcher.KIVOTemp");
  folder = AllocateWorkingFolder();
  if (StepOutcome created = CreateWorkingFolder(folder); created.Failed()) return created;
  if (!inUse.Hold(folder)) {
    const int error = platform::LastError();
    // Unheld, another launcher could take the empty folder for its own leftover.
    platform::RemoveFolder(folder);
    return NotCreated(folder, error);
  }
  return {};
}

}  // namespace app
