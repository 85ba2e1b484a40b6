// Folders held against other processes: a lock on the directory for choosing them,
// a shared lock that keeps a folder from being taken for an empty leftover.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <utility>

#include "platform/platform.h"
#include "platform/posix/errors_posix.h"
#include "platform/utf8.h"

namespace platform {
namespace {
constexpr int kLockAttempts = 1000;  // 10 ms apart: about ten seconds
constexpr long kLockPauseNanoseconds = 10 * 1000 * 1000;

int OpenFolder(const std::wstring& path) {
  return open(WideToBytes(path).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}
}  // namespace

bool RemoveLeftoverFolder(const std::wstring& path) {
  const UniqueHandle folder(OpenFolder(path));
  if (!folder) return FailWithErrno();
  // A process that holds the folder keeps a shared lock on it.
  if (flock(static_cast<int>(folder.Get()), LOCK_EX | LOCK_NB) != 0) {
    SetLastError(kErrorSharingViolation);
    return false;
  }
  return rmdir(WideToBytes(path).c_str()) == 0 || FailWithErrno();
}

FolderChoiceLock::FolderChoiceLock(const std::wstring& directory, const std::wstring&) {
  // The directory itself carries the lock: it exists wherever the folders are
  // chosen, and nothing has to be created for it.
  UniqueHandle folder(OpenFolder(directory));
  if (!folder) return;
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    if (flock(static_cast<int>(folder.Get()), LOCK_EX | LOCK_NB) == 0) {
      lock_ = std::move(folder);  // closing it releases the lock
      return;
    }
    const timespec pause{0, kLockPauseNanoseconds};
    nanosleep(&pause, nullptr);
  }
}

FolderChoiceLock::~FolderChoiceLock() = default;

bool FolderInUse::Hold(const std::wstring& folder) {
  Release();
  UniqueHandle held(OpenFolder(folder));
  if (!held) return FailWithErrno();
  // Others' leftover removal tries for an exclusive lock first.
  if (flock(static_cast<int>(held.Get()), LOCK_SH) != 0) return FailWithErrno();
  folder_ = std::move(held);
  return true;
}

}  // namespace platform
