// The working folder held for the run on Windows: the temporary directory is the
// user's own, and an open handle without delete sharing keeps the folder from being
// removed or renamed while it is held.
#include <windows.h>

#include "platform/platform.h"

namespace platform {
namespace {
constexpr unsigned kFreshNameAttempts = 1000;

std::wstring WithSeparator(std::wstring path) {
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
  return path;
}
}  // namespace

bool HeldFiles::Hold(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  files_.emplace_back(reinterpret_cast<intptr_t>(file));
  return true;
}

bool OthersCanReplaceFoldersIn(const std::wstring&) { return false; }

bool BelongsToAnotherUser(const std::wstring&) { return false; }

FolderInUse::~FolderInUse() = default;

void FolderInUse::Release() { folder_.Close(); }

bool FolderInUse::Create(const std::wstring& folder) {
  Release();
  if (!CreateFolder(folder)) return false;
  SetAttributesNormal(folder);
  if (!PathExists(folder) || !Hold(folder)) {
    // Unheld, another launcher could take the empty folder for its own leftover.
    const int error = LastError();
    RemoveFolder(folder);
    SetLastError(error);
    return false;
  }
  path_ = WithSeparator(folder);
  return true;
}

bool FolderInUse::CreateFresh(const std::wstring& directory, const std::wstring& prefix) {
  const std::wstring base = WithSeparator(directory) + prefix;
  for (unsigned n = 0; n < kFreshNameAttempts; ++n) {
    if (Create(base + Decimal(GetTickCount() + n))) return true;
    if (LastError() != kErrorAlreadyExists) return false;
  }
  return false;
}

bool FolderInUse::StillHeld() const {
  if (folder_) return true;
  SetLastError(kErrorInvalidHandle);
  return false;
}

bool FolderInUse::RemoveAndRelease() {
  Release();
  return RemoveFolder(path_);
}

}  // namespace platform
