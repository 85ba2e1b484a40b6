#include "app/working_folder.h"

#include "package/launcher_message.h"
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
    package::ShowLauncherMessage(L"The installer has insufficient privileges to create this directory:\n" + folder +
                                 L".\nThe installation cannot continue.");
    return false;
  }
  return true;
}

}  // namespace app
