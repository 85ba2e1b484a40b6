// sfxpkg build: a package from the launcher, four files and a password.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "archive_writer.h"
#include "code_page.h"
#include "arguments.h"
#include "command_line.h"
#include "command_messages.h"
#include "commands.h"
#include "console.h"
#include "exit_status.h"
#include "interruption.h"
#include "package/package_trailer.h"
#include "package_format.h"
#include "launcher_image.h"
#include "package_map.h"
#include "progress.h"
#include "system_path.h"
#include "temporary_file.h"
#include "utf8_text.h"

namespace fs = std::filesystem;

namespace sfxpkg {
namespace {

constexpr char kHelp[] = R"(usage: sfxpkg build --launcher STUB --engine FILE --data FILE --ui FILE --exp FILE
                    (--password TEXT | --password-file FILE | --password-env NAME)
                    [--second-field TEXT] [--level 0-9] [--codepage CP]
                    [--no-clobber] [--allow-engine-mismatch] [--random-headers]
                    [-q | -v] -o PACKAGE

Makes PACKAGE: the launcher image STUB, then a zip archive of the four setup
files, then the package trailer. The archive holds A0 (--data, unpacked as
setup.dat), A1 (--engine, the setup engine, unpacked under the package's own
name), A3 (--ui, Setup_UI.dll) and A4 (--exp, Setup_Exp.dll), each encrypted
with the password (traditional PKWARE encryption) and deflated unless --level
is 0. The trailer's third word holds the package format version, 1.

Options:
  --launcher STUB       the launcher program: launcher.exe (32- and 64-bit
                        Windows), launcher64.exe (64-bit Windows, also without
                        WoW64) or the Linux launcher
  --engine FILE         the setup engine
  --data FILE           its data file
  --ui FILE             its user interface library
  --exp FILE            its second library
  --password TEXT       the archive password (other users can see it in the
                        list of processes: prefer the two options below)
  --password-file FILE  read the password from FILE, or from standard input
                        for -; a pipe does as well (UTF-8, its first line, at
                        most 4,096 bytes)
  --password-env NAME   read the password from the environment variable NAME
  --second-field TEXT   the trailer's second text field (default: empty)
  --level N             deflate level 1 to 9 (default 9); 0 stores
  --codepage CP         the 8-bit code page of the target machines (874, 1250 to
                        1258, or utf-8 for Linux launchers); needed for a
                        password or second field outside ASCII
  -o, --output PACKAGE  the package to write, or - for standard output; written
                        to a temporary file first and renamed, so a failed or
                        interrupted build leaves nothing behind. An existing
                        PACKAGE is replaced
  --no-clobber          refuse to replace an existing PACKAGE
  --allow-engine-mismatch
                        build even when the engine is no program the launcher
                        can start (a warning says so; --force is its old name)
  --random-headers      encryption headers from the system's random source (by
                        default they are derived from the password and each
                        member, so that the same inputs give the same package)
  -q, --quiet           only problems and warnings, no progress
  -v, --verbose         also each member and its source
  -h, --help            show this help

The same inputs give the same package byte for byte: member times are the input
files' times, or SOURCE_DATE_EPOCH when it is set, and the encryption headers
are derived from the password and each member (--random-headers for random
ones; the password travels in the package, so they hide nothing either way).

Every input is checked before anything is written, and every problem is told:
a launcher that is no launcher of sfx-launcher; an engine the launcher cannot
start (launcher.exe and launcher64.exe start Windows programs, the Linux
launcher Linux programs and scripts); a --codepage other than utf-8 behind the
Linux launcher; a password file of more than one line; a password or second
field that the launcher could not read back (a zero byte, the field's key byte:
0x3B ';' in the password, 0xA7 in the second field, more than 259 bytes) or a
trailer that would hold a zip signature. An empty password gets a warning, and
so does a Windows engine that cannot start everywhere its stub runs: a 32-bit
one behind launcher64.exe (64-bit Windows without WoW64, such as Windows PE
x64), a 64-bit one behind launcher.exe (32-bit Windows), one for another
processor.

Exit status: 0 when PACKAGE was written; 1 when the inputs cannot make a
working package (nothing is written); 2 on a wrong command line. Ctrl-C or
SIGTERM removes the unfinished files and ends sfxpkg as the signal does.
)";

struct Field {
  std::string option;
  uint8_t key;
  std::string bytes;
};

// A byte as the author knows it: the character where it is a printable ASCII one.
std::string ByteName(unsigned value) {
  char text[16];
  const unsigned byte = value & 0xFF;
  if (byte >= 0x21 && byte < 0x7F) {
    std::snprintf(text, sizeof text, "'%c' (0x%02X)", static_cast<char>(byte), byte);
  } else {
    std::snprintf(text, sizeof text, "0x%02X", byte);
  }
  return text;
}

// The text's bytes in the target code page, or why the launcher could not read them back.
std::optional<std::string> EncodeField(const std::string& text, const std::optional<CodePage>& codePage,
                                       Field& field) {
  if (!Utf8ToWide(text)) return field.option + " is not UTF-8 text";
  if (IsAscii(text)) {
    field.bytes = text;
  } else if (!codePage) {
    return field.option + " holds characters outside ASCII: name the 8-bit code page of the target machines with "
                          "--codepage (" + kKnownCodePages + ")";
  } else if (const auto bytes = EncodeInCodePage(text, *codePage)) {
    field.bytes = *bytes;
  } else {
    return field.option + " holds characters that code page " + codePage->name + " cannot hold";
  }
  if (const auto problem = package::FieldProblem(field.bytes, field.key)) {
    const bool keyByte = field.bytes.size() <= package::kMaxFieldLength && field.bytes.find('\0') == std::string::npos;
    return field.option + ": the launcher could not read it back: it " +
           (field.bytes.size() > package::kMaxFieldLength ? "is " : "") + *problem +
           (keyByte ? ": " + ByteName(field.key) : "");
  }
  return std::nullopt;
}

// A password file holds one line: the launcher reads at most 259 bytes of password,
// which even in UTF-8 and with a byte order mark stay far below this.
constexpr size_t kMaxPasswordFileSize = 4096;

// The password file's text (standard input for "-"; a pipe or a FIFO reads as a
// file does): its bytes without a UTF-8 byte order mark and one line end; or why it
// cannot be read. Never more than kMaxPasswordFileSize bytes are read.
std::optional<std::string> ReadPasswordFile(const std::string& name, std::string& problem) {
  std::string text;
  if (name == "-") {
    const auto input = ReadStandardInput(kMaxPasswordFileSize);
    if (!input) {
      problem = "standard input cannot be read";
      return std::nullopt;
    }
    text = *input;
  } else {
    const fs::path path = fs::u8path(name);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
      problem = "no such file";
      return std::nullopt;
    }
    if (fs::is_directory(status)) {
      problem = "it is a folder";
      return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      problem = "it cannot be opened";
      return std::nullopt;
    }
    text.resize(kMaxPasswordFileSize + 1);
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
      problem = "it cannot be read";
      return std::nullopt;
    }
    text.resize(static_cast<size_t>(in.gcount()));
  }
  if (text.size() > kMaxPasswordFileSize) {
    problem = "it holds more than " + Grouped(kMaxPasswordFileSize) +
              " bytes: a password file holds the password on one line (at most 259 bytes in the package)";
    return std::nullopt;
  }
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

// The value of the environment variable name, in UTF-8; none when it is not set.
std::optional<std::string> EnvironmentText(const std::string& name) {
#ifdef _WIN32
  const std::optional<std::wstring> wideName = Utf8ToWide(name);
  if (!wideName) return std::nullopt;
  const wchar_t* value = _wgetenv(wideName->c_str());
  if (value == nullptr) return std::nullopt;
  return WideToUtf8(value);
#else
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
#endif
}

// Why an input cannot be packed, or none.
std::optional<std::string> InputProblem(const std::string& option, const fs::path& path) {
  const std::string named = "cannot read " + option + " " + ShownPath(path) + ": ";
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return named + "no such file";
  if (!fs::is_regular_file(status)) return named + "not a file";
  if (!std::ifstream(path, std::ios::binary)) return named + "it cannot be opened";
  return std::nullopt;
}

// Copies path's bytes to out in pieces; false when that fails or is interrupted.
bool AppendFile(const fs::path& path, const std::function<bool(const char*, size_t)>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string piece(1 << 20, '\0');
  while (in) {
    in.read(&piece[0], static_cast<std::streamsize>(piece.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    if (Interrupted() || (got > 0 && !out(piece.data(), got))) return false;
  }
  return !in.bad();
}

bool AppendFile(std::ofstream& out, const fs::path& path) {
  return AppendFile(path, [&out](const char* data, size_t size) {
    return static_cast<bool>(out.write(data, static_cast<std::streamsize>(size)));
  });
}

// Where the marker's text occurs again near the end, counted from the end of the file:
// once a signature is appended, the marker no longer closes the file and the
// launcher takes the earliest one in its window. That is the launcher's own search
// on the file less its last byte, where the closing marker no longer fits.
std::optional<uint64_t> EarlierMarkerDistance(const fs::path& path, uint64_t fileSize) {
  const uint64_t size = std::min<uint64_t>(fileSize, package::kScanWindowSize);
  std::ifstream in(path, std::ios::binary);
  std::string window(static_cast<size_t>(size), '\0');
  in.seekg(static_cast<std::streamoff>(fileSize - size));
  in.read(&window[0], static_cast<std::streamsize>(size));
  if (!in || size == 0) return std::nullopt;
  const auto distance = package::FindPackageMarker(reinterpret_cast<const uint8_t*>(window.data()), window.size() - 1);
  if (!distance) return std::nullopt;
  return *distance + 1;
}

struct BuildRequest {
  fs::path launcher;
  std::array<fs::path, 4> memberFiles;  // in the order of kRequiredMembers
  Field password{"--password", package::kPasswordKey, {}};
  Field secondField{"--second-field", package::kSecondFieldKey, {}};
  int level = 9;
  fs::path output;
  bool toStandardOutput = false;  // -o -: output is a temporary name, copied to standard output
  bool noClobber = false;
  std::optional<std::time_t> time;  // every member's time, from SOURCE_DATE_EPOCH
  bool randomHeaders = false;
};

// Checks the written package the way the launcher and its archive library read it.
std::optional<std::string> PackageProblem(const fs::path& path, const BuildRequest& request, uint64_t launcherSize) {
  PackageMap map;
  std::string error;
  if (!MapPackage(path, map, error)) return error;
  const std::vector<std::string> problems = BoundsProblems(map);
  if (!problems.empty()) return problems.front();
  if (map.trailer->passwordField != request.password.bytes || map.trailer->secondFieldText != request.secondField.bytes) {
    return std::string("the trailer does not read back as written");
  }
  if (!map.Archive() || map.Archive()->offset != launcherSize) {
    return std::string("the archive does not begin right after the launcher image");
  }
  return std::nullopt;
}

unsigned long ProcessId() {
#ifdef _WIN32
  return static_cast<unsigned long>(_getpid());
#else
  return static_cast<unsigned long>(getpid());
#endif
}

// What an interrupted build says and returns where it is not ended by its signal
// (Windows), its files removed.
int Interruption(const CommandMessages& messages) {
  messages.Line("interrupted: nothing was written");
#ifdef _WIN32
  // STATUS_CONTROL_C_EXIT, what Windows gives a program that Ctrl-C ends.
  return static_cast<int>(0xC000013Au);
#else
  return kExitBadPackage;
#endif
}

int WritePackage(const BuildRequest& request, const CommandMessages& messages) {
  TemporaryFile archive(request.output, "archive");
  TemporaryFile package(request.output, "package");
  std::vector<ArchiveMember> members;
  for (size_t i = 0; i < request.memberFiles.size(); ++i) {
    ArchiveMember member;
    member.name = kRequiredMembers[i].Name();
    member.source = request.memberFiles[i];
    member.password = request.password.bytes;
    member.level = request.level;
    member.time = request.time;
    member.randomHeader = request.randomHeaders;
    members.push_back(member);
  }
  std::string error;
  uint64_t total = 0;
  for (const ArchiveMember& member : members) {
    std::error_code sizeUnknown;
    const uint64_t size = fs::file_size(member.source, sizeUnknown);
    messages.Detail("member " + member.name + " from " + ShownPath(member.source) + ": " + Grouped(size) + " bytes");
    total += size;
  }
  bool written = false;
  {
    // Each member is read twice, once for its CRC and once to be written; the line
    // names the members' size.
    Progress progress(messages, 2 * total, total);
    written = WriteZipArchive(archive.Path(), members, error, [&progress](uint64_t bytes) {
      progress.Add(bytes);
      return !Interrupted();
    });
  }
  if (Interrupted()) return Interruption(messages);
  if (!written) return messages.Refuse("cannot write the archive: " + error);
  std::error_code sizeError;
  const uint64_t archiveSize = fs::file_size(archive.Path(), sizeError);
  if (sizeError) return messages.Refuse("cannot read " + ShownPath(archive.Path()) + ": " + sizeError.message());

  const std::string trailer =
      package::BuildPackageTrailer(request.password.bytes, request.secondField.bytes, kThirdWord);
  {
    std::ofstream out(package.Path(), std::ios::binary | std::ios::trunc);
    const bool written = out && AppendFile(out, request.launcher) && AppendFile(out, archive.Path()) &&
                         out.write(trailer.data(), static_cast<std::streamsize>(trailer.size()));
    out.close();
    if (Interrupted()) return Interruption(messages);
    if (!written || !out) return messages.Refuse("cannot write " + ShownPath(package.Path()));
  }
  const uint64_t launcherSize = fs::file_size(request.launcher, sizeError);
  if (const auto problem = PackageProblem(package.Path(), request, launcherSize)) {
    return messages.Refuse("the package would not work: " + *problem);
  }
  const uint64_t packageSize = launcherSize + archiveSize + trailer.size();
  if (const auto distance = EarlierMarkerDistance(package.Path(), packageSize)) {
    messages.Line("warning: the marker's text also occurs " + Grouped(*distance) +
                  " bytes before the end of the package; once a signature is appended the launcher would read its "
                  "trailer from there. A larger archive moves it out of reach.");
  }
  const std::string sizes = ": launcher image " + Grouped(launcherSize) + " bytes, archive " + Grouped(archiveSize) +
                            " bytes, trailer " + Grouped(trailer.size()) + " bytes (format " +
                            std::to_string(kFormatVersion) + ")";
  if (request.toStandardOutput) {
    // The whole package was checked before its first byte goes out.
    const bool copied = AppendFile(package.Path(), [](const char* data, size_t size) {
      return WriteStandardOutputBytes(data, size);
    });
    if (Interrupted()) return Interruption(messages);
    if (!copied) return messages.Refuse("cannot write the package to standard output");
    messages.Info("wrote the package to standard output" + sizes);
    return kExitSuccess;
  }
  std::error_code ignored;
  fs::permissions(package.Path(), fs::status(request.launcher, ignored).permissions(), ignored);
  const bool replacing = fs::exists(fs::symlink_status(request.output, ignored));
  // A signed package replaced by an unsigned one is easily shipped by mistake.
  PackageMap earlier;
  std::string unreadable;
  const bool replacingSigned =
      replacing && MapPackage(request.output, earlier, unreadable) && earlier.certificateTable.has_value();
  if (Interrupted()) return Interruption(messages);
  if (!package.ReplaceTarget(error, !request.noClobber)) {
    if (request.noClobber && fs::exists(fs::symlink_status(request.output, ignored))) {
      return messages.Refuse("-o " + ShownPath(request.output) + " appeared while the package was built; with "
                             "--no-clobber it is left as it is, and nothing was written");
    }
    return messages.Refuse("cannot write " + ShownPath(request.output) + ": " + error);
  }
  messages.Info((replacing ? "replaced " : "wrote ") + ShownPath(request.output) + sizes);
  if (replacingSigned) {
    messages.Line("warning: " + ShownPath(request.output) + " was a signed package; the one that replaced it is not "
                  "signed until it is signed again");
  }
  return kExitSuccess;
}

// The request the command line makes; the usage status where it makes none.
std::optional<int> ParseRequest(const ParsedArguments& parsed, const CommandMessages& messages,
                                BuildRequest& request) {
  if (!parsed.Plain().empty()) return messages.Usage("unexpected argument '" + parsed.Plain()[0] + "'");
  for (const char* required : {"--launcher", "--engine", "--data", "--ui", "--exp", "--output"}) {
    if (!parsed.Has(required)) return messages.Usage(std::string("missing ") + required);
  }
  const int passwordSources =
      int{parsed.Has("--password")} + int{parsed.Has("--password-file")} + int{parsed.Has("--password-env")};
  if (passwordSources != 1) {
    return messages.Usage("give the password with one of --password, --password-file and --password-env");
  }
  request.randomHeaders = parsed.Has("--random-headers");
  // The reproducible-builds convention: one time for everything the build makes.
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr && *epoch != '\0') {
    char* end = nullptr;
    const long long seconds = std::strtoll(epoch, &end, 10);
    if (*end != '\0' || seconds < 0) return messages.Usage("SOURCE_DATE_EPOCH must be a number of seconds");
    request.time = static_cast<std::time_t>(seconds);
  }
  if (const auto level = parsed.Value("--level")) {
    if (level->size() != 1 || (*level)[0] < '0' || (*level)[0] > '9') {
      return messages.Usage("--level takes a number from 0 to 9");
    }
    request.level = (*level)[0] - '0';
  }
  // The launcher is read to check it and again to copy it, each member twice: none
  // can come from standard input.
  for (const char* input : {"--launcher", "--engine", "--data", "--ui", "--exp"}) {
    if (*parsed.Value(input) == "-") {
      return messages.Usage(std::string(input) + " - : inputs are read more than once, so none can come from "
                            "standard input: name a file (./- for a file of that name)");
    }
  }
  request.launcher = fs::u8path(*parsed.Value("--launcher"));
  request.noClobber = parsed.Has("--no-clobber");
  if (*parsed.Value("--output") == "-") {
    if (request.noClobber) return messages.Usage("--no-clobber does not go with -o - (standard output)");
    if (StandardOutputIsTerminal()) {
      return messages.Usage("-o - writes the package to standard output, which is a terminal: redirect it to a file "
                            "or a pipe");
    }
    request.toStandardOutput = true;
    // Built and checked beside a name of its own in the temporary folder, then copied out.
    std::error_code noTemporaryFolder;
    const fs::path folder = fs::temp_directory_path(noTemporaryFolder);
    if (noTemporaryFolder) return messages.Refuse("-o -: no temporary folder: " + noTemporaryFolder.message());
    request.output = folder / fs::u8path("sfxpkg-" + std::to_string(ProcessId()) + ".out");
  } else {
    request.output = fs::u8path(*parsed.Value("--output"));
  }
  for (size_t i = 0; i < request.memberFiles.size(); ++i) {
    request.memberFiles[i] = fs::u8path(*parsed.Value(kRequiredMembers[i].option));
  }
  return std::nullopt;
}

// The trailer's two fields in the code page (the password from its option or its
// file, into passwordText as given), and a trailer other zip tools would misread.
void CheckFields(const ParsedArguments& parsed, const std::optional<CodePage>& codePage, BuildRequest& request,
                 std::string& passwordText, std::vector<std::string>& problems) {
  if (const auto file = parsed.Value("--password-file")) {
    std::string problem;
    if (const auto text = ReadPasswordFile(*file, problem)) {
      passwordText = *text;
      request.password.option = "--password-file " + *file;
      // One line end was dropped; another line would become part of the password.
      if (passwordText.find_first_of("\r\n") != std::string::npos) {
        problems.push_back("--password-file " + *file + " holds more than one line: the password is its first line only");
      }
    } else {
      problems.push_back("cannot read --password-file " + *file + ": " + problem);
    }
  } else if (const auto name = parsed.Value("--password-env")) {
    request.password.option = "--password-env " + *name;
    if (const auto text = EnvironmentText(*name)) {
      passwordText = *text;
    } else {
      problems.push_back("--password-env " + *name + ": no variable of that name in the environment");
    }
  } else {
    passwordText = *parsed.Value("--password");
  }
  if (const auto problem = EncodeField(passwordText, codePage, request.password)) problems.push_back(*problem);
  if (const auto problem = EncodeField(parsed.Value("--second-field").value_or(""), codePage, request.secondField)) {
    problems.push_back(*problem);
  }
  const std::string trailer = package::BuildPackageTrailer(request.password.bytes, request.secondField.bytes, kThirdWord);
  // The launcher never looks for the archive behind it, but other zip tools reading
  // the package (unzip, 7-Zip) would take such a signature for the archive's end.
  for (const char* signature : {"PK\x05\x06", "PK\x06\x07"}) {
    if (trailer.find(signature, 0, 4) != std::string::npos) {
      problems.push_back("the trailer for this password and second field would hold a zip end-record signature, "
                         "which other zip tools would take for the end of the archive: choose another password or "
                         "second field");
      break;
    }
  }
}

// The inputs can be read and none is the output, which goes into a folder that
// exists. False where an input cannot be read.
bool CheckFiles(const BuildRequest& request, std::vector<std::string>& problems) {
  std::vector<std::pair<std::string, fs::path>> inputs = {{"--launcher", request.launcher}};
  for (size_t i = 0; i < request.memberFiles.size(); ++i) {
    inputs.emplace_back(kRequiredMembers[i].option, request.memberFiles[i]);
  }
  bool inputsReadable = true;
  for (const auto& [option, path] : inputs) {
    if (const auto problem = InputProblem(option, path)) {
      problems.push_back(*problem);
      inputsReadable = false;
      continue;
    }
    std::error_code different;
    if (fs::equivalent(path, request.output, different)) {
      problems.push_back("-o " + ShownPath(request.output) + " is the " + option + " input itself");
    }
  }
  std::error_code ignored;
  if (request.toStandardOutput) return inputsReadable;
  if (fs::is_directory(request.output, ignored)) {
    problems.push_back("-o " + ShownPath(request.output) + " is a folder");
  } else if (request.noClobber && fs::exists(fs::symlink_status(request.output, ignored))) {
    problems.push_back("-o " + ShownPath(request.output) + " exists, and --no-clobber keeps it");
  }
  const fs::path outputFolder = request.output.has_parent_path() ? request.output.parent_path() : fs::path(".");
  if (!fs::is_directory(outputFolder, ignored)) {
    problems.push_back("-o " + ShownPath(request.output) + ": the folder " + ShownPath(outputFolder) +
                       " does not exist");
  }
  return inputsReadable;
}

// The pieces suit each other: the launcher is one, and its engine can run behind it
// (with --allow-engine-mismatch a mismatch is only a warning). Where the stub starts the engine but
// not everywhere the stub itself runs, that warning.
std::optional<std::string> CheckPieces(const BuildRequest& request, bool force,
                                       const std::optional<CodePage>& codePage, const CommandMessages& messages,
                                       std::vector<std::string>& problems) {
  std::string why;
  // The whole file is the image: the reader stops at its end.
  const std::optional<LauncherIdentity> launcher = IdentifyLauncher(request.launcher, UINT64_MAX, &why);
  if (!launcher) {
    problems.push_back("--launcher " + ShownPath(request.launcher) +
                       " is no launcher of sfx-launcher (launcher.exe, launcher64.exe or the Linux launcher)" +
                       (why.empty() ? "" : ": " + why));
    return std::nullopt;
  }
  const std::string engineOption = "--engine " + ShownPath(request.memberFiles[1]);
  const std::string engineHead = ReadFileStart(request.memberFiles[1], kProgramHeadSize);
  const ProgramKind engine = KindOfProgram(engineHead);
  if (!EngineSuits(launcher->kind, engine)) {
    const std::string mismatch = EngineMismatch(engineOption, *launcher, engine);
    if (force) {
      messages.Line("warning: " + mismatch + " (built all the same: --allow-engine-mismatch)");
    } else {
      problems.push_back(mismatch + " (--allow-engine-mismatch builds it all the same)");
    }
  }
  // The Linux launcher reads its trailer as UTF-8, whatever the package was meant for.
  if (launcher->kind == ProgramKind::kLinux && codePage && codePage->name != "utf-8") {
    problems.push_back("--codepage " + codePage->name + " does not suit the Linux launcher, which reads the trailer as "
                       "UTF-8: give --codepage utf-8");
  }
  return EngineArchitectureWarning(engineOption, *launcher, engineHead);
}

}  // namespace

int RunBuild(const std::vector<std::string>& arguments) {
  CommandMessages messages("build");
  CommandLine line;
  const std::vector<OptionSpec> options = {
      {"--launcher", "", true},      {"--engine", "", true},       {"--data", "", true},
      {"--ui", "", true},            {"--exp", "", true},          {"--password", "", true},
      {"--password-file", "", true}, {"--second-field", "", true}, {"--level", "", true},
      {"--output", "-o", true},      {"--force", "", false},       {"--random-headers", "", false},
      {"--password-env", "", true},  {"--no-clobber", "", false},  {"--allow-engine-mismatch", "", false}};
  if (const auto status = ParseCommandLine(arguments, options, kHelp, messages, line)) return *status;
  BuildRequest request;
  if (const auto status = ParseRequest(line.parsed, messages, request)) return *status;
  if (line.parsed.Has("--force")) {
    messages.Line("warning: --force is the old name of --allow-engine-mismatch, which says what it does");
  }
  const bool allowMismatch = line.parsed.Has("--allow-engine-mismatch") || line.parsed.Has("--force");
  HandleInterruptions("build");

  // Every input is checked before anything is written, and every problem is told.
  std::vector<std::string> problems;
  std::string passwordText;
  CheckFields(line.parsed, line.codePage, request, passwordText, problems);
  std::optional<std::string> architectureWarning;
  if (CheckFiles(request, problems)) {
    architectureWarning = CheckPieces(request, allowMismatch, line.codePage, messages, problems);
  }
  if (!problems.empty()) {
    for (const std::string& problem : problems) messages.Line(problem);
    return kExitBadPackage;
  }
  if (architectureWarning) messages.Line("warning: " + *architectureWarning);
  if (passwordText.empty()) messages.Line("warning: the password is empty: anyone can unpack the setup files");
  return WritePackage(request, messages);
}

}  // namespace sfxpkg
