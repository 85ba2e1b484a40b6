// sfxpkg verify: will this package run, and if not, why.
#include "command_messages.h"
#include "commands.h"
#include "console.h"
#include "exit_status.h"
#include "arguments.h"
#include "package_check.h"
#include "system_path.h"

namespace sfxpkg {
namespace {

constexpr char kHelp[] = R"(usage: sfxpkg verify PACKAGE [--codepage CP]

Checks that PACKAGE will run. It does what the launcher does before it starts
the setup engine, with the launcher's own code, and writes no file: finds the
package marker, reads the trailer, opens the archive, and decrypts and
CRC-checks the members A0, A1, A3 and A4. On the way it checks every bound:
the marker within the last 40,961 bytes of the package, the archive's end
record within the last 65,535 bytes in front of the trailer and no end-record
signature between the archive and the trailer.

A signed package ends where its certificate table begins: the launcher reads
nothing from the table or behind it. A table that holds bytes beyond its
signature fails: someone added them after signing, which the signature does
not show. Other bytes behind the marker that are neither alignment nor a
certificate table get a warning; the launcher ignores them.

Options:
  --codepage CP  read the password as machines with code page CP do (874,
                 1250 to 1258, or utf-8); by default as this machine does
  -h, --help     show this help

Exit status: 0 when the package will run; 1 when it will not, with one line per
problem on standard error; 2 on a wrong command line.
)";

}  // namespace

int RunVerify(const std::vector<std::string>& arguments) {
  const CommandMessages messages("verify");
  ParsedArguments parsed;
  if (const auto error = ParseArguments(arguments, {{"--codepage", "", true}}, parsed)) return messages.Usage(*error);
  if (parsed.Has("--help")) {
    WriteStandardOutput(kHelp);
    return kExitSuccess;
  }
  if (parsed.Plain().size() != 1) return messages.Usage("name one PACKAGE");
  std::optional<CodePage> codePage;
  if (const auto name = parsed.Value("--codepage")) {
    codePage = ParseCodePage(*name);
    if (!codePage) return messages.Usage("--codepage " + *name + " is none of " + kKnownCodePages);
  }

  const std::filesystem::path package = std::filesystem::u8path(parsed.Plain()[0]);
  PreparedPackage prepared;
  std::vector<std::string> problems = PreparePackage(package, codePage, prepared);
  const PackageMap& map = prepared.map;
  if (map.certificateTable && map.certificateTable->unsignedBytes > 0) {
    problems.push_back("the certificate table holds " + Grouped(map.certificateTable->unsignedBytes) +
                       " bytes beyond its signature: they were added after signing, which the signature does not show; "
                       "sign the package anew from the unsigned one");
  }
  for (const std::string& warning : StrayBytesWarnings(map)) messages.Line("warning: " + ShownPath(package) + ": " + warning);
  uint64_t checkedBytes = 0;
  if (problems.empty()) {
    for (const RequiredMember& member : kRequiredMembers) {
      const MemberRead read = ReadMember(prepared.archive->Handle(), member.Name(), prepared.password,
                                         [&checkedBytes](const char*, size_t size) {
                                           checkedBytes += size;
                                           return true;
                                         });
      const std::string problem = MemberProblem(member, read, prepared, codePage.has_value());
      if (!problem.empty()) problems.push_back(problem);
    }
  }
  for (const std::string& problem : problems) messages.Line(ShownPath(package) + ": " + problem);
  if (!problems.empty()) return kExitBadPackage;
  messages.Line(ShownPath(package) + ": will run: A0, A1, A3 and A4 decrypt and pass their CRC checks (" +
                Grouped(checkedBytes) + " bytes)");
  return kExitSuccess;
}

}  // namespace sfxpkg
