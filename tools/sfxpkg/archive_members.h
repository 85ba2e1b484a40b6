// The package's archive as the launcher reads it (package/bounded_archive.h,
// package/member_stream.h): members listed, and read by name through a sink.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "package/bounded_archive.h"
#include "package/member_stream.h"

namespace sfxpkg {

using package::MemberInfo;

// Every member in the order of the central directory; none when it cannot be read.
std::optional<std::vector<MemberInfo>> ListMembers(unzFile archive);

// The bytes the four members the launcher extracts hold together (0 when the
// central directory cannot be read): the measure of verify's and extract's work.
uint64_t MembersSize(unzFile archive);

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
// it: in pieces of at most 65,535 bytes, with the launcher's checks.
MemberRead ReadMember(unzFile archive, const std::string& name, const std::string& password, const MemberSink& sink);

}  // namespace sfxpkg
