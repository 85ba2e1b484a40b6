// Listing a package's members, as the launcher's library reads them.
#include "archive_members.h"

#include "package_format.h"

namespace sfxpkg {

std::optional<std::vector<MemberInfo>> ListMembers(unzFile archive) {
  std::vector<MemberInfo> members;
  int step = unzGoToFirstFile(archive);
  if (step != UNZ_OK) return std::nullopt;
  while (step == UNZ_OK) {
    MemberInfo member;
    if (!package::ReadCurrentMemberInfo(archive, member)) break;
    members.push_back(member);
    step = unzGoToNextFile(archive);
  }
  // Back to the first entry: the library's search for a member by name refuses to
  // start from an entry that could not be read, which would leave every member
  // missing for verify and extract while the launcher finds them.
  unzGoToFirstFile(archive);
  return members;
}

uint64_t MembersSize(unzFile archive) {
  uint64_t total = 0;
  const std::optional<std::vector<MemberInfo>> members = ListMembers(archive);
  if (!members) return 0;
  for (const MemberInfo& member : *members) {
    for (const RequiredMember& required : kRequiredMembers) {
      std::string name = member.name;
      for (char& ch : name) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
      if (name == required.Name()) total += member.size;
    }
  }
  return total;
}

}  // namespace sfxpkg
