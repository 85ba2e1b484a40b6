// The steps the launcher takes before it extracts anything, shared by verify and
// extract: its trailer, the archive's bounds, the archive open and the password.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive_members.h"
#include "code_page.h"
#include "package_format.h"
#include "package_map.h"

namespace sfxpkg {

struct PreparedPackage {
  PackageMap map;
  std::unique_ptr<package::Archive> archive;  // open when no problem was found
  std::string password;                    // the bytes the launcher decrypts with
  bool passwordIsAscii = true;
};

// One line per problem; empty when the launcher would go on to extract the members.
std::vector<std::string> PreparePackage(const std::filesystem::path& path, const std::optional<CodePage>& codePage,
                                        PreparedPackage& prepared);

// Why the launcher could not extract a member, or empty when it could.
std::string MemberProblem(const RequiredMember& member, const package::MemberReadResult& read, const PreparedPackage& prepared,
                          bool codePageGiven);

}  // namespace sfxpkg
