// Reading one member of an open archive: its central directory entry, and its data
// streamed through one transfer buffer into a sink, with every check the launcher
// makes. The launcher's extraction and sfxpkg's verify and extract all read
// members through here, so they cannot disagree about a member.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/bounded_archive.h"
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

// Where a member's data goes. Prepare is called with the member's entry before the
// member is opened, Begin once it has been opened with the password and before its
// first byte, Store for each piece. Any of them returns false to stop the read.
class MemberSink {
 public:
  virtual bool Prepare(const MemberInfo& /*info*/) { return true; }
  virtual bool Begin() { return true; }
  virtual bool Store(const char* data, size_t size) = 0;

 protected:
  ~MemberSink() = default;
};

enum class MemberReadStatus {
  kRead,          // every byte went to the sink and the CRC matches
  kMissing,       // no member of that name
  kEntryDamaged,  // its central directory entry cannot be read
  kNoMemory,      // no transfer buffer could be had
  kOpenRefused,   // the library would not open the member with the password
  kNotStored,     // the sink stopped the read
  kDataDamaged,   // unreadable or not decompressible, or the stream ended before the member's size
  kCrcMismatch,   // read to its end, but the CRC does not match
};

struct MemberReadResult {
  MemberReadStatus status = MemberReadStatus::kRead;
  MemberInfo info;        // set from kEntryDamaged on
  int libraryResult = 0;  // the failing library call's result
  uint64_t bytesRead = 0;
};

// How many threads read a member. Two: one reads and decrypts the member's data
// while the caller's thread inflates it, checks its CRC and hands it to the sink.
// Three: a third inflates and checks it, and the caller's thread hands it on.
enum class MemberReadThreads {
  kAuto,  // where the process may use two processors and the member is large:
          // three for a deflated member, two for a stored one
  kOne,
  kTwo,    // two whenever the system gives a second thread
  kThree,  // three for a deflated member, two for a stored one, as the system gives them
};

// Members with fewer compressed bytes than this are read on one thread: below four
// transfer buffers, starting a thread costs about what the overlap gains.
inline constexpr uint64_t kTwoThreadMemberSize = 4 * uint64_t{kMemberTransferSize};

// Locates the member called name (at most 255 bytes, the library's limit; a longer
// one is missing) and reads it into sink in pieces of at most kMemberTransferSize
// bytes: opened with the password, streamed, closed, its CRC checked. The sink sees
// the same pieces and the same result on one thread or two, and is only ever called
// on the caller's thread. The launcher's extraction and sfxpkg's verify and extract
// all read members through here.
MemberReadResult ReadMemberNamed(Archive& archive, const char* name, const char* password, MemberSink& sink,
                                 MemberReadThreads threads = MemberReadThreads::kAuto);

}  // namespace package
