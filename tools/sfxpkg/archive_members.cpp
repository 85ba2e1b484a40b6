// Listing a package's members and reading one by name, as the launcher does.
#include "archive_members.h"

#include <array>

#include "package_format.h"

namespace sfxpkg {
namespace {

class FunctionSink final : public package::MemberSink {
 public:
  explicit FunctionSink(const sfxpkg::MemberSink& sink) : sink_(sink) {}
  bool Begin() override { return true; }
  bool Store(const char* data, size_t size) override { return sink_(data, size); }

 private:
  const sfxpkg::MemberSink& sink_;
};

MemberStatus StatusOf(package::MemberReadStatus status) {
  switch (status) {
    case package::MemberReadStatus::kRead:
      return MemberStatus::kRead;
    case package::MemberReadStatus::kOpenRefused:
      return MemberStatus::kOpenRefused;
    case package::MemberReadStatus::kNotStored:
      return MemberStatus::kNotStored;
    case package::MemberReadStatus::kDataDamaged:
      return MemberStatus::kDataDamaged;
    case package::MemberReadStatus::kCrcMismatch:
      return MemberStatus::kCrcMismatch;
  }
  return MemberStatus::kDataDamaged;
}

}  // namespace

std::optional<std::vector<MemberInfo>> ListMembers(unzFile archive) {
  std::vector<MemberInfo> members;
  int step = unzGoToFirstFile(archive);
  while (step == UNZ_OK) {
    MemberInfo member;
    if (!package::ReadCurrentMemberInfo(archive, member)) return std::nullopt;
    members.push_back(member);
    step = unzGoToNextFile(archive);
  }
  if (step != UNZ_END_OF_LIST_OF_FILE) return std::nullopt;
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

MemberRead ReadMember(unzFile archive, const std::string& name, const std::string& password, const MemberSink& sink) {
  MemberRead read;
  if (unzLocateFile(archive, name.c_str(), 0) != UNZ_OK) return read;
  if (!package::ReadCurrentMemberInfo(archive, read.info)) {
    read.status = MemberStatus::kEntryDamaged;
    return read;
  }
  std::array<char, package::kMemberTransferSize> buffer;
  FunctionSink adapter(sink);
  const package::MemberReadResult result =
      package::StreamCurrentMember(archive, password.c_str(), read.info.size, buffer.data(), buffer.size(), adapter);
  read.status = StatusOf(result.status);
  read.libraryResult = result.libraryResult;
  return read;
}

}  // namespace sfxpkg
