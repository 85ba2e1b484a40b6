// sfxpkg extract: the four files of a package under the launcher's names.
#include <system_error>

#include "arguments.h"
#include "command_line.h"
#include "command_messages.h"
#include "commands.h"
#include "console.h"
#include "exit_status.h"
#include "interruption.h"
#include "package_check.h"
#include "progress.h"
#include "platform/platform.h"
#include "system_path.h"

namespace fs = std::filesystem;

namespace sfxpkg {
namespace {

constexpr char kHelp[] = R"(usage: sfxpkg extract PACKAGE -C DIR [--codepage CP] [-q | -v]

Unpacks the four setup files of PACKAGE into DIR under the names the launcher
gives them: A0 as setup.dat, A1 (the setup engine) under the package's own
file name, A3 as Setup_UI.dll and A4 as Setup_Exp.dll. Nothing is started and
no setup.cfg is written. DIR is created when it is missing; files of these
names in it are replaced, and so is a link of such a name (never written
through: what it points to stays as it was). A member that cannot be
extracted leaves no file, and neither does Ctrl-C or SIGTERM. PACKAGE must be a
file (a package is read from its end, so not standard input, -).

Options:
  -C, --directory DIR  where to put the files
  --codepage CP        read the password as machines with code page CP do
                       (874, 1250 to 1258, or utf-8); by default as this
                       machine does
  -q, --quiet          only problems and warnings, no progress
  -v, --verbose        accepted; says nothing more here
  -h, --help           show this help

Exit status: 0 when all four files were written; 1 when the package or a
member is bad, with one line per problem; 2 on a wrong command line.
)";

// Writes a member into its file.
class FileSink final : public package::MemberSink {
 public:
  FileSink(platform::OutputFile& out, Progress& progress) : out_(out), progress_(progress) {}

  bool Store(const char* data, size_t size) override {
    progress_.Add(size);
    if (Interrupted()) return false;
    size_t written = 0;
    return out_.Write(data, size, written) && written == size;
  }

 private:
  platform::OutputFile& out_;
  Progress& progress_;
};

// Extracts a member into a file created new beside target, never through a link
// someone put in DIR, and renames it over target: a link in the way is replaced,
// and what it points to stays untouched.
package::MemberReadResult ExtractMember(const PreparedPackage& prepared, const RequiredMember& member,
                                        const fs::path& target, Progress& progress) {
  const fs::path temporary = target.parent_path() / fs::u8path("." + target.filename().u8string() + ".sfxpkg-tmp");
  std::error_code ignored;
  fs::remove(temporary, ignored);  // a leftover, or a link: removing it never touches its target
  package::MemberReadResult read;
  RemovedOnInterruption removal(temporary);
  platform::OutputFile out;
  if (!out.CreateNew(SystemPath(temporary))) {
    read.status = package::MemberReadStatus::kNotStored;
    return read;
  }
  FileSink sink(out, progress);
  read = package::ReadMemberNamed(*prepared.archive, member.Name().c_str(), prepared.password.c_str(), sink);
  // The setup engine is a program; the launcher lets its owner run it too.
  const bool runnable = member.FileName().has_value() || out.AllowOwnerToRun();
  const bool closed = out.Close();
  if (read.status == package::MemberReadStatus::kRead && (!closed || !runnable)) {
    read.status = package::MemberReadStatus::kNotStored;
  }
  std::error_code renamed;
  if (read.status == package::MemberReadStatus::kRead) {
    removal.Finish([&] {
      fs::rename(temporary, target, renamed);
      return !renamed;
    });
  }
  if (renamed) read.status = package::MemberReadStatus::kNotStored;
  if (read.status != package::MemberReadStatus::kRead) fs::remove(temporary, ignored);
  return read;
}

}  // namespace

int RunExtract(const std::vector<std::string>& arguments) {
  CommandMessages messages("extract");
  CommandLine line;
  if (const auto status = ParseCommandLine(arguments, {{"--directory", "-C", true}}, kHelp, messages, line)) {
    return *status;
  }
  const ParsedArguments& parsed = line.parsed;
  if (parsed.Plain().size() != 1) return messages.Usage("name one PACKAGE");
  if (!parsed.Has("--directory")) return messages.Usage("missing -C DIR");
  if (parsed.Plain()[0] == "-") {
    return messages.Usage("a package is read from its end, so it cannot come from standard input: name its file "
                          "(./- for a file of that name)");
  }
  if (*parsed.Value("--directory") == "-") return messages.Usage("-C takes a folder (./- for a folder of that name)");
  HandleInterruptions("extract");
  const std::optional<CodePage>& codePage = line.codePage;

  const fs::path package = fs::u8path(parsed.Plain()[0]);
  const fs::path directory = fs::u8path(*parsed.Value("--directory"));
  PreparedPackage prepared;
  const std::vector<std::string> problems = PreparePackage(package, codePage, prepared);
  for (const std::string& problem : problems) messages.Line(ShownPath(package) + ": " + problem);
  if (!problems.empty()) return kExitBadPackage;

  std::error_code created;
  fs::create_directories(directory, created);
  if (created) return messages.Refuse("cannot create " + ShownPath(directory) + ": " + created.message());

  int status = kExitSuccess;
  Progress progress(messages, MembersSize(prepared.archive->Handle()));
  for (const RequiredMember& member : kRequiredMembers) {
    const std::optional<std::string> fileName = member.FileName();
    const fs::path target = directory / (fileName ? fs::u8path(*fileName) : package.filename());
    const package::MemberReadResult read = ExtractMember(prepared, member, target, progress);
    if (Interrupted()) return messages.Refuse("interrupted: the file being written was removed");
    if (read.status == package::MemberReadStatus::kRead) {
      messages.Info("wrote " + ShownPath(target) + " (" + Grouped(read.info.size) + " bytes, member " + member.Name() + ")");
      continue;
    }
    std::error_code ignored;
    fs::remove(target, ignored);
    std::string problem = MemberProblem(member, read, prepared, codePage.has_value());
    if (read.status == package::MemberReadStatus::kNotStored) problem += " to " + ShownPath(target);
    messages.Line(ShownPath(package) + ": " + problem);
    status = kExitBadPackage;
  }
  return status;
}

}  // namespace sfxpkg
