// The launcher's steps before extraction, shared by verify and extract.
#include "package_check.h"

#include "field_text.h"
#include "system_path.h"
#include "utf8_text.h"

namespace sfxpkg {

std::vector<std::string> PreparePackage(const std::filesystem::path& path, const std::optional<CodePage>& codePage,
                                        PreparedPackage& prepared) {
  std::string error;
  if (!MapPackage(path, prepared.map, error)) return {error};
  std::vector<std::string> problems = BoundsProblems(prepared.map);
  // Without its trailer the launcher stops before it opens the archive.
  if (!prepared.map.trailer) return problems;

  prepared.archive = std::make_unique<package::Archive>(SystemPath(path), prepared.map.trailer->trailerOffset);
  if (!prepared.archive->IsOpen()) {
    if (problems.empty()) {
      problems.push_back("the archive library cannot open the archive: its end record or central directory is damaged");
    }
    return problems;
  }
  const LauncherPassword password = PasswordAsLauncherUsesIt(prepared.map.trailer->passwordField, codePage);
  if (!password.bytes) {
    problems.push_back(password.problem);
  } else {
    prepared.password = *password.bytes;
    prepared.passwordIsAscii = IsAscii(prepared.map.trailer->passwordField);
  }
  return problems;
}

std::string MemberProblem(const RequiredMember& member, const package::MemberReadResult& read, const PreparedPackage& prepared,
                          bool codePageGiven) {
  const std::string name = "member " + member.Name() + " (" + member.Description() + ")";
  // A password outside ASCII reads back differently on machines of another code page.
  const std::string hint = prepared.passwordIsAscii || codePageGiven
                               ? ""
                               : " (the password is not ASCII: name the target machines' code page with --codepage)";
  switch (read.status) {
    case package::MemberReadStatus::kRead:
      return "";
    case package::MemberReadStatus::kMissing:
      return name + " is missing from the archive";
    case package::MemberReadStatus::kEntryDamaged:
      return name + ": its entry in the archive's central directory cannot be read";
    case package::MemberReadStatus::kNoMemory:
      return name + ": no memory for the transfer buffer";
    case package::MemberReadStatus::kOpenRefused:
      return name + ": the archive library refuses to open it (error " + std::to_string(read.libraryResult) + ")";
    case package::MemberReadStatus::kDataDamaged:
    case package::MemberReadStatus::kCrcMismatch:
      if (!read.info.encrypted) {
        return name + " is not encrypted: the launcher decrypts every member with the package password, so it "
                      "cannot read this one";
      }
      return name +
             (read.status == package::MemberReadStatus::kDataDamaged ? " cannot be decrypted and decompressed"
                                                        : " fails its CRC check after decrypting") +
             ": a wrong password or damaged data" + hint;
    case package::MemberReadStatus::kNotStored:
      return name + " could not be written";
  }
  return name + ": unknown failure";
}

}  // namespace sfxpkg
