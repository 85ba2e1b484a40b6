// sfxpkg verify: will this package run, and if not, why.
#include <algorithm>
#include <fstream>

#include "command_messages.h"
#include "commands.h"
#include "console.h"
#include "exit_status.h"
#include "arguments.h"
#include "command_line.h"
#include "json_writer.h"
#include "launcher_image.h"
#include "package_check.h"
#include "progress.h"
#include "system_path.h"

namespace sfxpkg {
namespace {

constexpr char kHelp[] = R"(usage: sfxpkg verify PACKAGE... [--json] [--codepage CP] [-q | -v]

Checks that each PACKAGE will run. It does what the launcher does before it starts
the setup engine, with the launcher's own code, and writes no file: finds the
package marker, reads the trailer, opens the archive, and decrypts and
CRC-checks the members A0, A1, A3 and A4. On the way it checks every bound:
the marker within the last 40,961 bytes of the package, the archive's end
record within the last 65,535 bytes in front of the trailer and no end-record
signature between the archive and the trailer.

It also fails a package whose pieces do not suit each other: a launcher image
that is no launcher of sfx-launcher, a setup engine the launcher cannot start
(launcher.exe and launcher64.exe start Windows programs, the Linux launcher
Linux programs and scripts). A Windows engine that cannot start everywhere its
stub runs gets a warning: a 32-bit one behind launcher64.exe (64-bit Windows
without WoW64), a 64-bit one behind launcher.exe (32-bit Windows), one for
another processor. A signed package ends where its certificate table begins:
the launcher reads nothing from the table or behind it. A signature block that
is cut short, that holds bytes beyond its signature or that has bytes behind
it fails: those bytes were added after signing, which the signature does not
show. Other bytes behind the marker that are neither alignment nor a
certificate table get a warning; the launcher ignores them. The signatures
themselves are counted, not checked: a signature whose digest no longer matches
still counts as one here. osslsigncode verify or signtool verify /pa tells
whether a signature is valid.

Options:
  --json         also write every verdict to standard output as JSON (also
                 for a wrong command line: {"error": ...})
  --codepage CP  read the password as machines with code page CP do (874,
                 1250 to 1258, or utf-8); by default as this machine does
  -q, --quiet    only problems and warnings, no progress
  -v, --verbose  also each member checked, with its size and CRC
  -h, --help     show this help

A PACKAGE must be a file: a package is read from its end, so standard input
(-) cannot be one.

Exit status: 0 when every package will run; 1 when one will not, with one line
per problem on standard error; 2 on a wrong command line.
)";

// Reads a member through to its end, counting its bytes and keeping the first
// ones of the setup engine's, which tell what kind of program it is.
class CheckingSink final : public package::MemberSink {
 public:
  CheckingSink(Progress& progress, uint64_t& checkedBytes, std::string* head)
      : progress_(progress), checkedBytes_(checkedBytes), head_(head) {}

  bool Store(const char* data, size_t size) override {
    if (head_ != nullptr && head_->size() < kProgramHeadSize) {
      head_->append(data, std::min(size, kProgramHeadSize - head_->size()));
    }
    checkedBytes_ += size;
    progress_.Add(size);
    return true;
  }

 private:
  Progress& progress_;
  uint64_t& checkedBytes_;
  std::string* head_;
};

// What verify found for one package.
struct Verdict {
  std::string file;
  std::vector<std::string> problems;
  std::vector<std::string> warnings;
  std::vector<MemberInfo> checked;  // the members that passed, in order
  uint64_t checkedBytes = 0;
  unsigned signatures = 0;  // records in the certificate table behind the marker, unchecked
  bool Runs() const { return problems.empty(); }
};

// Checks one package as the launcher would read it.
Verdict VerifyPackage(const std::filesystem::path& package, const std::optional<CodePage>& codePage,
                      const CommandMessages& messages) {
  Verdict verdict;
  verdict.file = ShownPath(package);
  PreparedPackage prepared;
  std::vector<std::string>& problems = verdict.problems;
  problems = PreparePackage(package, codePage, prepared);
  const PackageMap& map = prepared.map;
  for (const std::string& problem : SignatureProblems(map)) problems.push_back(problem);
  verdict.warnings = StrayBytesWarnings(map);
  if (map.trailer && map.certificateTable) verdict.signatures = map.certificateTable->records;
  std::optional<LauncherIdentity> launcher;
  if (const std::optional<ByteRange> archive = map.Archive()) {
    std::string why;
    launcher = IdentifyLauncher(package, archive->offset, &why);
    if (!launcher) {
      problems.push_back("the launcher image in front of the archive is no launcher of sfx-launcher" +
                         (why.empty() ? "" : ": " + why));
    }
  }
  if (!problems.empty()) return verdict;
  Progress progress(messages, MembersSize(prepared.archive->Handle()));
  for (const RequiredMember& member : kRequiredMembers) {
    const bool engine = !member.FileName();
    std::string head;
    CheckingSink sink(progress, verdict.checkedBytes, engine ? &head : nullptr);
    const package::MemberReadResult read =
        package::ReadMemberNamed(*prepared.archive, member.Name().c_str(), prepared.password.c_str(), sink);
    const std::string problem = MemberProblem(member, read, prepared, codePage.has_value());
    if (!problem.empty()) {
      problems.push_back(problem);
    } else if (engine && launcher && !EngineSuits(launcher->kind, KindOfProgram(head))) {
      problems.push_back(EngineMismatch("member A1 (the setup engine)", *launcher, KindOfProgram(head)));
    } else {
      if (engine && launcher) {
        if (auto warning = EngineArchitectureWarning("member A1 (the setup engine)", *launcher, head)) {
          verdict.warnings.push_back(std::move(*warning));
        }
      }
      verdict.checked.push_back(read.info);
      messages.Detail(verdict.file + ": member " + member.Name() + " (" + member.Description() + "): " +
                      Grouped(read.info.size) + " bytes, CRC-32 " + Hex32(read.info.crc) + " matches");
    }
  }
  return verdict;
}

void SayVerdict(const Verdict& verdict, const CommandMessages& messages) {
  for (const std::string& warning : verdict.warnings) messages.Line("warning: " + verdict.file + ": " + warning);
  for (const std::string& problem : verdict.problems) messages.Line(verdict.file + ": " + problem);
  if (verdict.Runs()) {
    messages.Info(verdict.file + ": will run: A0, A1, A3 and A4 decrypt and pass their CRC checks (" +
                  Grouped(verdict.checkedBytes) + " bytes)");
    if (verdict.signatures > 0) {
      messages.Info(verdict.file + ": signed: " + std::to_string(verdict.signatures) +
                    (verdict.signatures == 1 ? " signature" : " signatures") +
                    " present, not checked (osslsigncode verify or signtool verify tells whether it is valid)");
    }
  }
}

// Every package's verdict as one JSON document: numbers as numbers, CRCs as
// "0x" and eight hex digits, as inspect writes them.
std::string JsonVerdicts(const std::vector<Verdict>& verdicts) {
  JsonWriter json;
  json.BeginObject().BeginArray("packages");
  for (const Verdict& verdict : verdicts) {
    json.BeginObject().String("file", verdict.file).Bool("runs", verdict.Runs());
    json.BeginArray("problems");
    for (const std::string& problem : verdict.problems) json.String("", problem);
    json.EndArray().BeginArray("warnings");
    for (const std::string& warning : verdict.warnings) json.String("", warning);
    json.EndArray().BeginArray("members");
    for (const MemberInfo& member : verdict.checked) {
      json.BeginObject().String("name", member.name).Number("size", member.size).String("crc32", Hex32(member.crc));
      json.EndObject();
    }
    json.EndArray().Number("checked_bytes", verdict.checkedBytes).Number("signatures", verdict.signatures).EndObject();
  }
  json.EndArray().EndObject();
  return json.Text();
}

}  // namespace

int RunVerify(const std::vector<std::string>& arguments) {
  CommandMessages messages("verify");
  CommandLine line;
  if (const auto status = ParseCommandLine(arguments, {{"--json", "", false}}, kHelp, messages, line)) return *status;
  const ParsedArguments& parsed = line.parsed;
  if (parsed.Plain().empty()) return messages.Usage("name a PACKAGE");
  for (const std::string& name : parsed.Plain()) {
    if (name == "-") {
      return messages.Usage("a package is read from its end, so it cannot come from standard input: name its file "
                            "(./- for a file of that name)");
    }
  }
  const std::optional<CodePage>& codePage = line.codePage;
  // Every package is checked, whatever the earlier ones gave.
  std::vector<Verdict> verdicts;
  bool allRun = true;
  for (const std::string& name : parsed.Plain()) {
    verdicts.push_back(VerifyPackage(std::filesystem::u8path(name), codePage, messages));
    SayVerdict(verdicts.back(), messages);
    allRun = verdicts.back().Runs() && allRun;
  }
  if (parsed.Has("--json")) WriteStandardOutput(JsonVerdicts(verdicts));
  return allRun ? kExitSuccess : kExitBadPackage;
}

}  // namespace sfxpkg
