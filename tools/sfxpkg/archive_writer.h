// The zip archive sfxpkg writes: members, their passwords and deflate levels.
#pragma once

#include <filesystem>
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
};

// Writes a zip archive of members to path with minizip's zip writer. On failure
// returns false with the reason in error; a partly written file is removed.
bool WriteZipArchive(const std::filesystem::path& path, const std::vector<ArchiveMember>& members,
                     std::string& error);

}  // namespace sfxpkg
