#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/platform.h"
#include "platform/posix/errors_posix.h"
#include "platform/utf8.h"

namespace platform {
namespace {
constexpr int kLockAttempts = 1000;  // 10 ms apart: about ten seconds
constexpr long kLockPauseNanoseconds = 10 * 1000 * 1000;

int OpenFolder(const std::wstring& path) {
  return open(WideToUtf8(path).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}
}  // namespace

bool RemoveLeftoverFolder(const std::wstring& path) {
  const int fd = OpenFolder(path);
  if (fd < 0) return FailWithErrno();
  // A launcher that holds the folder keeps a shared lock on it.
  bool removed = false;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    removed = rmdir(WideToUtf8(path).c_str()) == 0 || FailWithErrno();
  } else {
    SetLastError(kErrorSharingViolation);
  }
  close(fd);
  return removed;
}

FolderChoiceLock::FolderChoiceLock() {
  // The temporary directory itself carries the lock: it exists wherever the
  // folders are chosen, and nothing has to be created for it.
  const int fd = OpenFolder(TempDirectory());
  if (fd < 0) return;
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      handle_ = fd;
      return;
    }
    const timespec pause{0, kLockPauseNanoseconds};
    nanosleep(&pause, nullptr);
  }
  close(fd);
}

FolderChoiceLock::~FolderChoiceLock() {
  if (handle_ != -1) close(static_cast<int>(handle_));  // closing releases the lock
}

FolderInUse::~FolderInUse() { Release(); }

bool FolderInUse::Hold(const std::wstring& folder) {
  Release();
  const int fd = OpenFolder(folder);
  if (fd < 0) return FailWithErrno();
  if (flock(fd, LOCK_SH) != 0) {
    FailWithErrno();
    close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

void FolderInUse::Release() {
  if (handle_ != -1) close(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace platform
