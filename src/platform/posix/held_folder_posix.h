// Paths inside the held working folder, reached through the folder held rather than
// by name: whoever renames the folder or puts another under its name meanwhile
// changes nothing of where the launcher's files go.
#pragma once

#include <fcntl.h>

#include <string>

#include "platform/platform.h"

namespace platform {

// A path as the *at file calls take it. Inside the held working folder: the folder
// that holds its last component, reached from the held folder without following
// links, and that component ("." for the held folder itself). Any other path as it
// is, from the current folder.
class PathAt {
 public:
  explicit PathAt(const std::string& path);
  PathAt(const PathAt&) = delete;
  PathAt& operator=(const PathAt&) = delete;

  // False, with the last error set, when a folder on the way cannot be opened.
  bool Found() const { return found_; }
  int Folder() const { return folder_; }
  const char* Name() const { return name_.c_str(); }

 private:
  UniqueHandle opened_;  // a folder below the held one that the path passes through
  int folder_ = AT_FDCWD;
  std::string name_;
  bool found_ = true;
};

}  // namespace platform
