// The package's archive through the launcher's own archive library calls: opened
// from the package file, members located by name without regard to ASCII case,
// read with the password and closed with the library's CRC check.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "unzip.h"

namespace sfxpkg {

class OpenedArchive {
 public:
  // Opens the archive the way the launcher does; check IsOpen().
  explicit OpenedArchive(const std::filesystem::path& package);
  ~OpenedArchive();
  OpenedArchive(const OpenedArchive&) = delete;
  OpenedArchive& operator=(const OpenedArchive&) = delete;

  bool IsOpen() const { return archive_ != nullptr; }
  unzFile Handle() const { return archive_; }
  uint64_t MemberCount() const { return info_.number_entry; }
  uint32_t CommentSize() const { return static_cast<uint32_t>(info_.size_comment); }

 private:
  unzFile archive_ = nullptr;
  unz_global_info64 info_{};
};

struct MemberInfo {
  std::string name;
  uint64_t size = 0;
  uint64_t compressedSize = 0;
  uint32_t crc = 0;
  int method = 0;  // 0 stored, 8 deflated
  bool encrypted = false;
};

// Every member in the order of the central directory; none when it cannot be read.
std::optional<std::vector<MemberInfo>> ListMembers(unzFile archive);

enum class MemberStatus {
  kRead,
  kMissing,         // no member of that name
  kEntryDamaged,    // its central directory entry cannot be read
  kOpenRefused,     // the library would not open it with the password
  kDataDamaged,     // reading failed: a wrong password or damaged data
  kCrcMismatch,     // read to its end, but the CRC does not match
  kNotStored,       // the sink refused the data
};

struct MemberRead {
  MemberStatus status = MemberStatus::kMissing;
  MemberInfo info;
  int libraryResult = 0;  // the failing call's result, for messages
};

// Receives a member's data in pieces; false stops the read.
using MemberSink = std::function<bool(const char* data, size_t size)>;

// Locates name, then reads the member through sink exactly as the launcher extracts
// it: in pieces of at most 65,535 bytes, a CRC mismatch at close counting as failure.
MemberRead ReadMember(unzFile archive, const std::string& name, const std::string& password, const MemberSink& sink);

}  // namespace sfxpkg
