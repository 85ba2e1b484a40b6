#include <windows.h>

#include "platform/platform.h"

namespace platform {
namespace {
constexpr DWORD kLockWaitMilliseconds = 10000;
}

bool RemoveLeftoverFolder(const std::wstring& path) {
  // A folder another launcher holds open cannot be removed: sharing violation.
  return RemoveDirectoryW(path.c_str()) != FALSE;
}

FolderChoiceLock::FolderChoiceLock() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\sfx-launcher.KIVOTemp");
  if (mutex == nullptr) return;
  const DWORD waited = WaitForSingleObject(mutex, kLockWaitMilliseconds);
  // An abandoned lock (its launcher ended without releasing it) is ours now.
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    handle_ = reinterpret_cast<intptr_t>(mutex);
  } else {
    CloseHandle(mutex);
  }
}

FolderChoiceLock::~FolderChoiceLock() {
  if (handle_ == -1) return;
  ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

FolderInUse::~FolderInUse() { Release(); }

bool FolderInUse::Hold(const std::wstring& folder) {
  Release();
  // Open without FILE_SHARE_DELETE: nobody else can remove the folder meanwhile.
  HANDLE handle = CreateFileW(folder.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(handle);
  return true;
}

void FolderInUse::Release() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

}  // namespace platform
