// Reading one member of an open archive: its central directory entry, and its data
// streamed through one transfer buffer into a sink, with every check the launcher
// makes. The launcher's extraction and sfxpkg's verify and extract all read
// members through here, so they cannot disagree about a member.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "unzip.h"

namespace package {

// The most a member's data is read in one piece: the launcher's transfer buffer.
inline constexpr size_t kMemberTransferSize = 0xFFFF;

// The member's entry as the central directory gives it.
struct MemberInfo {
  std::string name;  // cut at 260 bytes, as the launcher's name buffer holds it
  uint64_t size = 0;
  uint64_t compressedSize = 0;
  uint32_t crc = 0;
  int method = 0;  // 0 stored, 8 deflated
  bool encrypted = false;
};

// The entry of the member the archive is positioned on; false when unreadable.
bool ReadCurrentMemberInfo(unzFile archive, MemberInfo& info);

// Where a member's data goes. Begin is called once the member has been opened with
// the password and before its first byte; Store for each piece. Either returns
// false to stop the read.
class MemberSink {
 public:
  virtual bool Begin() = 0;
  virtual bool Store(const char* data, size_t size) = 0;

 protected:
  ~MemberSink() = default;
};

enum class MemberReadStatus {
  kRead,         // every byte went to the sink and the CRC matches
  kOpenRefused,  // the library would not open the member with the password
  kNotStored,    // the sink stopped the read
  kDataDamaged,  // unreadable or not decompressible, or the stream ended before the member's size
  kCrcMismatch,  // read to its end, but the CRC does not match
};

struct MemberReadResult {
  MemberReadStatus status = MemberReadStatus::kRead;
  int libraryResult = 0;  // the failing library call's result
  uint64_t bytesRead = 0;
};

// Opens the current member (of the given size) with the password and streams it
// into sink through buffer, then closes it, which checks the CRC.
MemberReadResult StreamCurrentMember(unzFile archive, const char* password, uint64_t size, char* buffer,
                                     size_t bufferSize, MemberSink& sink);

}  // namespace package
