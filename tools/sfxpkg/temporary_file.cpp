// A file written beside its target and renamed into place, or removed.
#include "temporary_file.h"

#include <system_error>

namespace fs = std::filesystem;

namespace sfxpkg {

TemporaryFile::TemporaryFile(const fs::path& target, const std::string& purpose)
    : target_(target),
      path_(target.parent_path() / fs::u8path("." + target.filename().u8string() + "." + purpose + ".sfxpkg-tmp")) {}

TemporaryFile::~TemporaryFile() {
  if (kept_) return;
  std::error_code ignored;
  fs::remove(path_, ignored);
}

bool TemporaryFile::ReplaceTarget(std::string& error) {
  std::error_code failed;
  fs::rename(path_, target_, failed);
  if (failed) {
    error = failed.message();
    return false;
  }
  kept_ = true;
  return true;
}

}  // namespace sfxpkg
