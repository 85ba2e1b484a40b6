// A file written beside its target and renamed into place, or removed.
#include "temporary_file.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace sfxpkg {
namespace {

fs::path TemporaryPath(const fs::path& target, const std::string& purpose) {
  return target.parent_path() / fs::u8path("." + target.filename().u8string() + "." + purpose + ".sfxpkg-tmp");
}

// Renames from to to unless something of that name is there; false with the
// system's reason.
bool RenameWithoutReplacing(const fs::path& from, const fs::path& to, std::string& error) {
#ifdef _WIN32
  if (MoveFileExW(from.wstring().c_str(), to.wstring().c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  error = std::error_code(static_cast<int>(GetLastError()), std::system_category()).message();
  return false;
#else
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  // File systems without that rename: a hard link fails the same way where a file is.
  if (errno == EINVAL || errno == ENOSYS) {
    if (link(from.c_str(), to.c_str()) == 0) {
      // The package is in place either way; a temporary name left beside it is
      // replaced by the next build.
      if (unlink(from.c_str()) != 0) return true;
      return true;
    }
  }
  error = std::strerror(errno);
  return false;
#endif
}

}  // namespace

TemporaryFile::TemporaryFile(const fs::path& target, const std::string& purpose)
    : target_(target), path_(TemporaryPath(target, purpose)), removal_(path_) {}

TemporaryFile::~TemporaryFile() {
  if (kept_) return;
  std::error_code ignored;
  fs::remove(path_, ignored);
}

bool TemporaryFile::ReplaceTarget(std::string& error, bool replace) {
  // Held back meanwhile, an interruption cannot remove the file once it has become
  // the target, nor leave it behind under its temporary name.
  kept_ = removal_.Finish([&] {
    if (!replace) return RenameWithoutReplacing(path_, target_, error);
    std::error_code failed;
    fs::rename(path_, target_, failed);
    if (failed) error = failed.message();
    return !failed;
  });
  return kept_;
}

}  // namespace sfxpkg
