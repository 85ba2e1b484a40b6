// Folders held against other processes: a named mutex for choosing them, an open
// handle that keeps a folder from being removed.
#include <windows.h>

#include "platform/platform.h"

namespace platform {
namespace {
constexpr DWORD kLockWaitMilliseconds = 10000;
}

bool RemoveLeftoverFolder(const std::wstring& path) {
  // A folder another process holds open cannot be removed: sharing violation.
  return RemoveDirectoryW(path.c_str()) != FALSE;
}

FolderChoiceLock::FolderChoiceLock(const std::wstring&, const std::wstring& name) {
  // The mutex is the user's session's, like the temporary directory it guards.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
  if (mutex == nullptr) return;
  UniqueHandle owned(reinterpret_cast<intptr_t>(mutex));
  const DWORD waited = WaitForSingleObject(mutex, kLockWaitMilliseconds);
  // An abandoned lock (its owner ended without releasing it) is ours now.
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) lock_ = std::move(owned);
}

FolderChoiceLock::~FolderChoiceLock() {
  if (lock_) ReleaseMutex(reinterpret_cast<HANDLE>(lock_.Get()));
}

bool FolderInUse::Hold(const std::wstring& folder) {
  Release();
  // Open without FILE_SHARE_DELETE: nobody else can remove the folder meanwhile.
  // The folder itself, not what a junction or link put in its place would lead to.
  HANDLE handle = CreateFileW(folder.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  folder_ = UniqueHandle(reinterpret_cast<intptr_t>(handle));
  // A reparse point (a junction, a link) is never used as the working folder.
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    folder_.Close();
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return true;
}

}  // namespace platform
