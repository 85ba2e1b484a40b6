// Writing a file so that a failure leaves nothing behind.
#pragma once

#include <filesystem>
#include <string>

namespace sfxpkg {

// A file beside target that is removed again unless it replaces target in one
// rename, so a failed build never leaves a half package behind.
class TemporaryFile {
 public:
  TemporaryFile(const std::filesystem::path& target, const std::string& purpose);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Renames the file over target; false with the reason when that fails.
  bool ReplaceTarget(std::string& error);

 private:
  std::filesystem::path target_;
  std::filesystem::path path_;
  bool kept_ = false;
};

}  // namespace sfxpkg
