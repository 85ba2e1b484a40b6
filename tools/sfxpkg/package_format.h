// What sfxpkg puts into a package beyond what the launcher reads: the members it
// packs and the format version in the trailer's third word.
#pragma once

#include <cstdint>

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

// The members the launcher extracts and the names it gives them. The setup engine
// is written under the package's own file name.
struct RequiredMember {
  const char* name;         // as stored in the archive
  const char* option;       // the build option that supplies it
  const char* fileName;     // what the launcher calls it; nullptr: the package's name
  const char* description;  // for messages
};
inline constexpr RequiredMember kRequiredMembers[] = {
    {"A0", "--data", "setup.dat", "setup.dat"},
    {"A1", "--engine", nullptr, "the setup engine"},
    {"A3", "--ui", "Setup_UI.dll", "Setup_UI.dll"},
    {"A4", "--exp", "Setup_Exp.dll", "Setup_Exp.dll"},
};

}  // namespace sfxpkg
