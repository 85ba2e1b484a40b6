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

// The members in the order of the central directory, as far as the archive library
// reads it: like the launcher's search for a member by name, the list ends at the
// end record's count or at the first entry that cannot be read (an end record may
// count more entries than the directory holds). None when not even the first can
// be read. The archive is left on its first entry.
std::optional<std::vector<MemberInfo>> ListMembers(unzFile archive);

// The bytes the four members the launcher extracts hold together (0 when the
// central directory cannot be read): the measure of verify's and extract's work.
uint64_t MembersSize(unzFile archive);

}  // namespace sfxpkg
