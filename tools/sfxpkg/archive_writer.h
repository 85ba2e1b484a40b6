// The zip archive sfxpkg writes: members, their passwords and deflate levels.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sfxpkg {

struct ArchiveMember {
  std::string name;                     // the name stored in the archive
  std::string data;                     // the member's bytes, unless source is set
  std::filesystem::path source;         // streamed from this file when set
  std::optional<std::string> password;  // traditional PKWARE encryption when set
  int level = 9;                        // deflate level; 0 stores
  // The member's time (UTC); none: the source file's, or now for data in memory.
  std::optional<std::time_t> time;
  // The encryption header's 10 leading bytes from the system's random source, as
  // the zip library makes them; otherwise derived from the password and the
  // member, so that the same inputs give the same bytes.
  bool randomHeader = false;
};

// Writes a zip archive of members to path with minizip's zip writer. On failure
// returns false with the reason in error; a partly written file is removed.
// onRead, when given, hears of every piece of member data read (each member is read
// twice: once for the CRC that encryption needs first, once to be written); when it
// returns false the writing stops there and fails.
bool WriteZipArchive(const std::filesystem::path& path, const std::vector<ArchiveMember>& members,
                     std::string& error, const std::function<bool(uint64_t)>& onRead = {});

}  // namespace sfxpkg
