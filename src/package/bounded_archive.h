// The archive inside a package, read through file functions whose file ends where
// the package trailer begins: its size, seeks from its end and every read stop
// there, so the zip library finds the end records, the central directory and the
// members in front of the trailer only. Nothing behind the trailer (a signature
// block, or whatever someone appended to it) can stand in for the archive.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "unzip.h"

namespace package {

// The archive of a package, read as if the package file ended at archiveEnd (the
// first byte of the trailer); closed when it goes. Not open when the file holds no
// usable end record in front of archiveEnd, or cannot be opened (the last error
// then says why).
class Archive {
 public:
  // Reads through file, which must stay open while the archive is used: what was
  // read of the package before (its trailer) and the archive come from one file.
  Archive(platform::ReadOnlyFile& file, uint64_t archiveEnd);
  // Opens the file at path for the archive alone.
  Archive(const std::wstring& path, uint64_t archiveEnd);
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  bool IsOpen() const { return archive_ != nullptr; }
  unzFile Handle() const { return archive_; }
  uint64_t MemberCount() const { return info_.number_entry; }
  uint32_t CommentSize() const { return static_cast<uint32_t>(info_.size_comment); }

 private:
  void Open(platform::ReadOnlyFile& file, uint64_t archiveEnd);

  platform::ReadOnlyFile ownFile_;
  unzFile archive_ = nullptr;
  unz_global_info64 info_{};
};

}  // namespace package
