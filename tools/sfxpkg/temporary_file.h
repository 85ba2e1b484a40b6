// Writing a file so that a failure leaves nothing behind.
#pragma once

#include <filesystem>
#include <string>

#include "interruption.h"

namespace sfxpkg {

// A file beside target that is removed again unless it replaces target in one
// rename, so a failed or interrupted build never leaves a half package behind.
class TemporaryFile {
 public:
  TemporaryFile(const std::filesystem::path& target, const std::string& purpose);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Renames the file over target (or, without replace, only where nothing of that
  // name is: the check and the rename are one step); false with the reason when
  // that fails.
  bool ReplaceTarget(std::string& error, bool replace = true);

 private:
  std::filesystem::path target_;
  std::filesystem::path path_;
  RemovedOnInterruption removal_;
  bool kept_ = false;
};

}  // namespace sfxpkg
