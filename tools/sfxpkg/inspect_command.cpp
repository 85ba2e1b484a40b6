// sfxpkg inspect: where the pieces of a package lie, as text or JSON.
#include <cstdio>

#include "archive_members.h"
#include "arguments.h"
#include "command_line.h"
#include "command_messages.h"
#include "commands.h"
#include "console.h"
#include "exit_status.h"
#include "field_text.h"
#include "json_writer.h"
#include "launcher_image.h"
#include "package_format.h"
#include "package_map.h"
#include "system_path.h"
#include "utf8_text.h"

namespace fs = std::filesystem;

namespace sfxpkg {
namespace {

constexpr char kHelp[] = R"(usage: sfxpkg inspect PACKAGE [--json] [--show-password] [--codepage CP] [-q | -v]

Shows where the launcher image, the archive, the trailer and anything after the
package marker lie; which launcher the image is (launcher.exe, launcher64.exe
or the Linux launcher), its version and the processor it is built for; the
marker distance; the archive's members (name, sizes, method, whether
encrypted); the second field; the password, masked unless asked for; and where
a signature block behind the marker begins and ends, how many signatures it
holds and how many bytes in it no signature covers. A signature counted there
is present, not checked: whether it is valid and whom it names,
osslsigncode verify or signtool verify /pa tells.

Options:
  --json           write the report as JSON, with the problems below in its
                   "problems"; also for a file that is no package or cannot be
                   opened, and for a wrong command line ({"error": ...})
  --show-password  show the password instead of masking it
  --codepage CP    show the text fields as machines with code page CP read them
                   (874, 1250 to 1258, or utf-8); by default as this machine does
  -q, --quiet      no lines beyond the report and its problems
  -v, --verbose    accepted; says nothing more here
  -h, --help       show this help

What keeps the launcher from reading the package, and what is wrong with its
signature block, is said on standard error, one line each, as verify says it.

PACKAGE must be a file: a package is read from its end, so standard input
(-) cannot be one.

Exit status: 0 when the trailer and the archive were found; 1 when either is
missing (what was found is still shown); 2 on a wrong command line.
)";

struct Report {
  fs::path path;
  PackageMap map;
  std::optional<std::vector<MemberInfo>> members;
  std::optional<LauncherIdentity> launcher;  // what the image in front of the archive is
  std::string notLauncher;                   // why it is none, where it carries the product's name
  bool showPassword = false;
  std::optional<CodePage> codePage;
  bool opened = false;                 // the file could be read at all
  std::vector<std::string> problems;   // as said on standard error, without the file's name
};

std::string MethodName(int method) {
  if (method == 0) return "stored";
  if (method == 8) return "deflated";
  return "method " + std::to_string(method);
}

std::optional<ByteRange> LauncherImage(const PackageMap& map) {
  const std::optional<ByteRange> archive = map.Archive();
  if (!archive) return std::nullopt;
  return ByteRange{0, archive->offset};
}

// A signature block that follows the marker (after its zero padding).
std::optional<CertificateTable> SignatureAfterMarker(const PackageMap& map) {
  const std::optional<ByteRange> after = map.AfterMarker();
  if (!after || !map.certificateTable || map.certificateTable->range.offset < after->offset) return std::nullopt;
  return map.certificateTable;
}

void JsonRange(JsonWriter& json, const std::string& key, const std::optional<ByteRange>& range) {
  if (!range) {
    json.Null(key);
    return;
  }
  json.BeginObject(key).Number("offset", range->offset).Number("size", range->size).EndObject();
}

void JsonProblems(JsonWriter& json, const Report& report) {
  json.BeginArray("problems");
  for (const std::string& problem : report.problems) json.String("", problem);
  json.EndArray();
}

std::string JsonReport(const Report& report) {
  const PackageMap& map = report.map;
  JsonWriter json;
  json.BeginObject().String("file", ShownPath(report.path));
  if (!report.opened) {
    // Every key a report has, so that a reader finds them all.
    json.Null("size").Null("launcher_image").Null("archive").Null("trailer").Null("marker").Null("after_marker");
    json.Null("signature_block").Null("second_field").Null("password");
    JsonProblems(json, report);
    json.EndObject();
    return json.Text();
  }
  json.Number("size", map.fileSize);
  if (const auto image = LauncherImage(map)) {
    json.BeginObject("launcher_image").Number("offset", image->offset).Number("size", image->size);
    if (report.launcher) {
      json.String("kind", report.launcher->kind == ProgramKind::kWindows ? "windows" : "linux")
          .String("version", report.launcher->version)
          .String("stub", report.launcher->stub)
          .String("architecture", report.launcher->architecture);
    } else {
      json.Null("kind").Null("version").Null("stub").Null("architecture");
    }
    json.EndObject();
  } else {
    json.Null("launcher_image");
  }
  if (const auto archive = map.Archive()) {
    json.BeginObject("archive")
        .Number("offset", archive->offset)
        .Number("size", archive->size)
        .Number("end_record_offset", map.archiveEndRecord->offset)
        .Number("comment_size", map.archiveEndRecord->commentSize);
    if (report.members) {
      json.BeginArray("members");
      for (const MemberInfo& member : *report.members) {
        json.BeginObject()
            .String("name", member.name)
            .Number("size", member.size)
            .Number("compressed_size", member.compressedSize)
            .String("method", MethodName(member.method))
            .Bool("encrypted", member.encrypted)
            .String("crc32", Hex32(member.crc))
            .EndObject();
      }
      json.EndArray();
    } else {
      json.Null("members");
    }
    json.EndObject();
  } else {
    json.Null("archive");
  }
  if (const auto& trailer = map.trailer) {
    json.BeginObject("trailer")
        .Number("offset", map.Trailer()->offset)
        .Number("size", map.Trailer()->size)
        .Number("password_length", trailer->passwordLength)
        .Number("second_field_length", trailer->secondLength)
        .Number("third_word", trailer->thirdWord);
    if (const uint32_t version = FormatVersionOf(trailer->thirdWord)) {
      json.Number("format_version", version);
    } else {
      json.Null("format_version");
    }
    json.EndObject();
    json.BeginObject("marker")
        .Number("offset", *map.MarkerOffset())
        .Number("distance", trailer->markerDistance)
        .Number("package_end", trailer->packageEnd)
        .EndObject();
  } else {
    json.Null("trailer").Null("marker");
  }
  JsonRange(json, "after_marker", map.AfterMarker());
  if (const auto signature = SignatureAfterMarker(map)) {
    json.BeginObject("signature_block")
        .Number("offset", signature->range.offset)
        .Number("size", signature->range.size)
        .Number("end", signature->range.End())
        .Number("records", signature->records)
        .Number("unsigned_bytes", signature->unsignedBytes)
        .EndObject();
  } else {
    json.Null("signature_block");
  }
  if (map.trailer) {
    json.String("second_field", FieldText(map.trailer->secondFieldText, report.codePage));
    if (report.showPassword) {
      json.String("password", FieldText(map.trailer->passwordField, report.codePage));
    } else {
      json.Null("password");
    }
  } else {
    json.Null("second_field").Null("password");
  }
  JsonProblems(json, report);
  json.EndObject();
  return json.Text();
}

std::string Where(const std::optional<ByteRange>& range) {
  if (!range) return "not found";
  return "offset " + Grouped(range->offset) + ", " + Grouped(range->size) + " bytes";
}

std::string TextReport(const Report& report) {
  const PackageMap& map = report.map;
  // Names and texts from the package are escaped: a terminal shows them and acts on none.
  std::string text = "file            " + EscapeControls(ShownPath(report.path)) + " (" + Grouped(map.fileSize) + " bytes)\n";
  text += "launcher image  " + Where(LauncherImage(map));
  if (LauncherImage(map)) {
    text += EscapeControls(report.launcher ? ": " + DescribeLauncher(*report.launcher)
                                           : ": no launcher of sfx-launcher" +
                                                 (report.notLauncher.empty() ? "" : " (" + report.notLauncher + ")"));
  }
  text += "\n";
  text += "archive         " + Where(map.Archive());
  if (map.Archive()) {
    text += "; end record at offset " + Grouped(map.archiveEndRecord->offset);
    if (map.archiveEndRecord->commentSize > 0) text += ", comment of " + Grouped(map.archiveEndRecord->commentSize) + " bytes";
  }
  text += "\n";
  if (const auto& trailer = map.trailer) {
    const uint32_t version = FormatVersionOf(trailer->thirdWord);
    text += "trailer         " + Where(map.Trailer()) + ": password " + Grouped(trailer->passwordLength) +
            " bytes, second field " + Grouped(trailer->secondLength) + " bytes, third word " +
            Hex32(trailer->thirdWord) +
            (version != 0 ? " (sfxpkg format " + std::to_string(version) + ")" : " (not written by sfxpkg)") + "\n";
    text += "marker          offset " + Grouped(*map.MarkerOffset()) + ", marker distance " +
            Grouped(trailer->markerDistance) +
            (trailer->packageEnd != map.fileSize ? " (from the certificate table)" : "") + "\n";
    const ByteRange after = *map.AfterMarker();
    text += "after marker    " + (after.size == 0 ? std::string("nothing") : Where(after)) + "\n";
    text += "signature block ";
    if (const auto signature = SignatureAfterMarker(map)) {
      text += "offset " + Grouped(signature->range.offset) + " to " + Grouped(signature->range.End()) + ", " +
              Grouped(signature->range.size) + " bytes after " + Grouped(signature->range.offset - after.offset) +
              " bytes of padding: " + std::to_string(signature->records) +
              (signature->records == 1 ? " signature" : " signatures");
      if (signature->unsignedBytes > 0) text += ", and " + Grouped(signature->unsignedBytes) + " bytes it does not sign";
      // Only the records' form is read here: the digest and the certificates are not.
      text += " (present, not checked: osslsigncode verify or signtool verify tells whether it is valid)";
    } else if (map.securityDirectory && !map.certificateTable) {
      text += "cut short: the headers name " + Grouped(map.securityDirectory->size) + " bytes from offset " +
              Grouped(map.securityDirectory->offset) + ", the file ends at " + Grouped(map.fileSize);
    } else {
      text += "none";
    }
    text += "\n";
  } else {
    text += "trailer         not found\n";
  }
  if (report.members) {
    text += "\nmembers\n";
    char line[160];
    std::snprintf(line, sizeof line, "  %-8s %15s %15s  %-9s %-10s %s\n", "name", "size", "compressed", "method",
                  "encrypted", "crc32");
    text += line;
    for (const MemberInfo& member : *report.members) {
      // The name may be long, once escaped: the line holds it whole.
      std::string name = EscapeControls(member.name);
      if (name.size() < 8) name.resize(8, ' ');
      std::snprintf(line, sizeof line, " %15s %15s  %-9s %-10s %s\n", Grouped(member.size).c_str(),
                    Grouped(member.compressedSize).c_str(), MethodName(member.method).c_str(),
                    member.encrypted ? "yes" : "NO", Hex32(member.crc).c_str());
      text += "  " + name + line;
    }
  }
  if (const auto& trailer = map.trailer) {
    text += "\nsecond field    \"" + EscapeControls(FieldText(trailer->secondFieldText, report.codePage)) + "\"\n";
    text += "password        " +
            (report.showPassword ? "\"" + EscapeControls(FieldText(trailer->passwordField, report.codePage)) + "\""
                                 : "hidden, " + Grouped(trailer->passwordLength) + " bytes (--show-password shows it)") +
            "\n";
  }
  return text;
}

}  // namespace

int RunInspect(const std::vector<std::string>& arguments) {
  CommandMessages messages("inspect");
  CommandLine line;
  if (const auto status =
          ParseCommandLine(arguments, {{"--json", "", false}, {"--show-password", "", false}}, kHelp, messages, line)) {
    return *status;
  }
  const ParsedArguments& parsed = line.parsed;
  if (parsed.Plain().size() != 1) return messages.Usage("name one PACKAGE");
  if (parsed.Plain()[0] == "-") {
    return messages.Usage("a package is read from its end, so it cannot come from standard input: name its file "
                          "(./- for a file of that name)");
  }
  const bool json = parsed.Has("--json");
  Report report;
  report.codePage = line.codePage;
  report.path = fs::u8path(parsed.Plain()[0]);
  report.showPassword = parsed.Has("--show-password");

  std::string mapError;
  if (!MapPackage(report.path, report.map, mapError)) {
    report.problems.push_back(mapError);
    if (json) WriteStandardOutput(JsonReport(report));
    return messages.Refuse(mapError);
  }
  report.opened = true;
  // The archive as the launcher reads it: from the bytes in front of the trailer.
  const package::Archive archive(SystemPath(report.path),
                                 report.map.trailer ? report.map.trailer->trailerOffset : report.map.fileSize);
  if (archive.IsOpen()) report.members = ListMembers(archive.Handle());
  if (const auto image = LauncherImage(report.map)) {
    report.launcher = IdentifyLauncher(report.path, image->size, &report.notLauncher);
  }

  // The reasons verify gives for what the layout shows, one line each.
  std::vector<std::string>& problems = report.problems;
  problems = BoundsProblems(report.map);
  for (const std::string& problem : SignatureProblems(report.map)) problems.push_back(problem);
  int status = kExitSuccess;
  if (!report.map.trailer) {
    status = kExitBadPackage;
  } else if (!archive.IsOpen()) {
    if (problems.empty()) problems.push_back("the archive library cannot open the archive");
    status = kExitBadPackage;
  } else if (!report.members) {
    problems.push_back("the archive's central directory cannot be read");
    status = kExitBadPackage;
  } else if (report.members->size() < archive.MemberCount()) {
    problems.push_back("the end record counts " + Grouped(archive.MemberCount()) +
                       " entries, but the central directory holds " + Grouped(report.members->size()) +
                       ": the archive library, and with it the launcher, reads those");
  }
  WriteStandardOutput(json ? JsonReport(report) : TextReport(report));
  for (const std::string& problem : problems) messages.Line(ShownPath(report.path) + ": " + problem);
  return status;
}

}  // namespace sfxpkg
