// What sfxpkg puts into a package beyond what the launcher reads: the members it
// packs and the format version in the trailer's third word.
#pragma once

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

#include "package/member_table.h"
#include "platform/utf8.h"

namespace sfxpkg {

// The third word: "SF" in its upper half marks a trailer written by sfxpkg, the
// lower half is the format version. Its bytes (01 00 53 46) can never form a zip
// signature, so the word is safe behind the archive.
inline constexpr uint32_t kThirdWordTag = 0x4653;
inline constexpr uint32_t kFormatVersion = 1;
inline constexpr uint32_t kThirdWord = kThirdWordTag << 16 | kFormatVersion;

// The version a third word names, or 0 when sfxpkg did not write it.
inline uint32_t FormatVersionOf(uint32_t thirdWord) {
  return (thirdWord >> 16) == kThirdWordTag ? (thirdWord & 0xFFFF) : 0;
}

// What sfxpkg adds to each member the launcher extracts (package/member_table.h):
// the build option that supplies it.
struct RequiredMember {
  package::PackageMember member;
  const char* option;

  std::string Name() const { return platform::WideToUtf8(member.archiveName); }
  // What the launcher calls the file; none: the package's own file name.
  std::optional<std::string> FileName() const {
    if (member.fileName == nullptr) return std::nullopt;
    return platform::WideToUtf8(member.fileName);
  }
  // How messages name it.
  std::string Description() const { return FileName().value_or("the setup engine"); }
};
inline constexpr RequiredMember kRequiredMembers[] = {
    {package::kPackageMembers[0], "--data"},
    {package::kPackageMembers[1], "--engine"},
    {package::kPackageMembers[2], "--ui"},
    {package::kPackageMembers[3], "--exp"},
};
static_assert(std::size(kRequiredMembers) == std::size(package::kPackageMembers));

}  // namespace sfxpkg
