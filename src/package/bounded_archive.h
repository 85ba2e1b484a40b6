// The archive inside a package, read through file functions whose file ends where
// the package trailer begins: its size, seeks from its end and every read stop
// there, so the zip library finds the end records, the central directory and the
// members in front of the trailer only. Nothing behind the trailer (a signature
// block, or whatever someone appended to it) can stand in for the archive.
#pragma once

#include <cstdint>
#include <string>

#include "unzip.h"

namespace package {

// Opens the archive in the file at path as if the file ended at archiveEnd. None,
// with the last error set where the system gave one, when the file cannot be
// opened or holds no usable end record in front of archiveEnd.
unzFile OpenArchiveBefore(const std::wstring& path, uint64_t archiveEnd);

// An archive opened that way, closed when it goes.
class Archive {
 public:
  Archive(const std::wstring& path, uint64_t archiveEnd);
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  bool IsOpen() const { return archive_ != nullptr; }
  unzFile Handle() const { return archive_; }
  uint64_t MemberCount() const { return info_.number_entry; }
  uint32_t CommentSize() const { return static_cast<uint32_t>(info_.size_comment); }

 private:
  unzFile archive_ = nullptr;
  unz_global_info64 info_{};
};

}  // namespace package
