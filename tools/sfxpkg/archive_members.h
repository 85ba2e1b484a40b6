// The package's archive as the launcher reads it (package/bounded_archive.h): its
// members listed; each is read by name through package::ReadMemberNamed.
#pragma once

#include <cstdint>
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

}  // namespace sfxpkg
