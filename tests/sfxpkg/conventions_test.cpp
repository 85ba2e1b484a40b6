// The command-line conventions a package author expects: a version, help per command.
#include <gtest/gtest.h>

#include <filesystem>

#include "package/package_trailer.h"
#include "sfxpkg_tool.h"
#include "support/launcher_package.h"
#include "support/package_fixtures.h"
#include "support/json_value.h"
#include "support/scratch_folder.h"

namespace {

// A good package built from the test inputs in scratch.
struct BuiltPackage {
  sfxpkgtest::PackageInputs inputs;
  std::filesystem::path package;
};
BuiltPackage BuildPackage(const testsupport::ScratchFolder& scratch, const char* name = "Package.exe") {
  BuiltPackage built{sfxpkgtest::WriteInputs(scratch.Path() / "in"), scratch.Path() / name};
  const auto result = sfxpkgtest::Sfxpkg(sfxpkgtest::BuildArguments(built.inputs, "pw", built.package));
  EXPECT_EQ(result.exitCode, 0u) << result.standardError;
  return built;
}

TEST(Conventions, TheVersionAnswersToItsUsualSpellings) {
  for (const char* spelling : {"--version", "-V", "version"}) {
    SCOPED_TRACE(spelling);
    const auto result = sfxpkgtest::Sfxpkg({spelling});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.standardOutput, std::string("sfxpkg ") + SFX_VERSION + "\n");
  }
}

TEST(Conventions, HelpNamesACommand) {
  const auto build = sfxpkgtest::Sfxpkg({"help", "build"});
  EXPECT_EQ(build.exitCode, 0u);
  EXPECT_EQ(build.standardOutput, sfxpkgtest::Sfxpkg({"build", "--help"}).standardOutput);
  EXPECT_EQ(build.standardOutput.rfind("usage: sfxpkg build ", 0), 0u) << build.standardOutput;

  const auto unknown = sfxpkgtest::Sfxpkg({"help", "sign"});
  EXPECT_EQ(unknown.exitCode, 2u);
  EXPECT_NE(unknown.standardError.find("no command 'sign'"), std::string::npos) << unknown.standardError;
}

TEST(Conventions, CodePagesGoByTheirUsualNames) {
  testsupport::ScratchFolder scratch;
  const auto package = BuildPackage(scratch).package;
  for (const char* name : {"1252", "cp1252", "Windows-1252", "utf-8", "UTF8", "65001"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(sfxpkgtest::Sfxpkg({"inspect", sfxpkgtest::U8(package), "--codepage", name}).exitCode, 0u);
  }
  const auto unknown = sfxpkgtest::Sfxpkg({"inspect", sfxpkgtest::U8(package), "--codepage", "cp932"});
  EXPECT_EQ(unknown.exitCode, 2u);
  EXPECT_NE(unknown.standardError.find("also as cp1252 or windows-1252"), std::string::npos) << unknown.standardError;
}

// A folder where a package should be is named as what it is.
TEST(Conventions, AFolderIsNoPackage) {
  testsupport::ScratchFolder scratch;
  for (const char* command : {"inspect", "verify"}) {
    SCOPED_TRACE(command);
    const auto result = sfxpkgtest::Sfxpkg({command, sfxpkgtest::U8(scratch.Path())});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_NE(result.standardError.find(": it is a folder"), std::string::npos) << result.standardError;
  }
}

// "-" is standard input or output where sfxpkg can use it, and a clear refusal
// where it cannot: a package is read from its end, a folder is no stream.
TEST(Conventions, DashIsRefusedWhereNoStreamFits) {
  testsupport::ScratchFolder scratch;
  const auto package = BuildPackage(scratch).package;
  const struct {
    std::vector<std::string> arguments;
    const char* message;
  } cases[] = {
      {{"inspect", "-"}, "sfxpkg inspect: a package is read from its end, so it cannot come from standard input"},
      {{"verify", sfxpkgtest::U8(package), "-"}, "sfxpkg verify: a package is read from its end"},
      {{"extract", "-", "-C", sfxpkgtest::U8(scratch.Path() / "x")}, "sfxpkg extract: a package is read from its end"},
      {{"extract", sfxpkgtest::U8(package), "-C", "-"}, "sfxpkg extract: -C takes a folder (./- for a folder of that name)"},
  };
  for (const auto& refused : cases) {
    SCOPED_TRACE(refused.arguments[0]);
    const auto result = sfxpkgtest::Sfxpkg(refused.arguments);
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_EQ(result.standardError.rfind(refused.message, 0), 0u) << result.standardError;
    EXPECT_EQ(result.standardOutput, "");
  }
  EXPECT_EQ(scratch.Entries(""), (std::vector<std::string>{"Package.exe", "in"}));
}

// -o - writes the package to standard output, the same bytes as -o FILE, and
// leaves nothing in the temporary folder it was built in.
TEST(Conventions, DashOutputIsStandardOutput) {
  testsupport::ScratchFolder scratch;
  const auto [inputs, package] = BuildPackage(scratch);
  std::filesystem::create_directories(scratch.Path() / "tmp");
  const testsupport::TempDirectoryOverride temporary((scratch.Path() / "tmp").wstring());
  const auto result = sfxpkgtest::Sfxpkg(sfxpkgtest::BuildArguments(inputs, "pw", "-"));
  EXPECT_EQ(result.exitCode, 0u) << result.standardError;
  EXPECT_TRUE(result.standardOutput == testsupport::ReadFileBytes(package)) << result.standardOutput.size();
  EXPECT_EQ(result.standardError.find("sfxpkg build: wrote the package to standard output: launcher image "), 0u)
      << result.standardError;
  for (const std::string& name : scratch.Entries("tmp")) EXPECT_EQ(name.find("sfxpkg-"), std::string::npos) << name;
}

// With --json the answer is JSON whatever goes wrong: a file that is no package or
// is missing, and a wrong command line; the same lines go to standard error.
TEST(Conventions, JsonIsJsonForErrorsToo) {
  testsupport::ScratchFolder scratch;
  const std::string missing = sfxpkgtest::U8(scratch.Path() / "missing.exe");
  const std::string notPackage = sfxpkgtest::U8(scratch.Write("notes.txt", "no package"));
  const bool windows = sfxpkgtest::SfxpkgProgram().extension() == ".exe";
  // Linux says it in the C library's words; Windows in its own, which differ from
  // version to version (and under Wine), so only the reason's place is known there.
  const std::string noSuchFile = windows ? "" : "No such file or directory";
  const struct {
    std::vector<std::string> arguments;
    uint32_t exitCode;
    const char* key;  // "problems" of a report, "error" of a wrong command line
    std::string message;
  } cases[] = {
      {{"inspect", "--json", missing}, 1, "problems", "cannot open " + missing + ": " + noSuchFile},
      {{"inspect", "--json", notPackage}, 1, "problems", "no package marker"},
      {{"inspect", "--json"}, 2, "error", "name one PACKAGE"},
      {{"inspect", "--json", "--bogus", notPackage}, 2, "error", "unknown option --bogus"},
      {{"verify", "--json", "-"}, 2, "error", "a package is read from its end"},
  };
  for (const auto& asked : cases) {
    SCOPED_TRACE(asked.arguments.back());
    const auto result = sfxpkgtest::Sfxpkg(asked.arguments);
    EXPECT_EQ(result.exitCode, asked.exitCode);
    const auto json = testsupport::JsonValue::Parse(result.standardOutput);
    ASSERT_TRUE(json) << result.standardOutput;
    const std::string said =
        std::string(asked.key) == "error" ? (*json)["error"].String() : (*json)["problems"][0].String();
    EXPECT_EQ(said.find(asked.message), 0u) << said;
    EXPECT_EQ(said.find("No such file or directory") != std::string::npos, !windows && asked.exitCode == 1 &&
                                                                                said.rfind("cannot open", 0) == 0)
        << said;
    EXPECT_NE(result.standardError.find(said), std::string::npos) << result.standardError;
  }
  if (windows) {
    const auto result = sfxpkgtest::Sfxpkg({"inspect", "--json", missing});
    EXPECT_NE(result.standardError.find("cannot open " + missing + ": "), std::string::npos) << result.standardError;
    EXPECT_GT(result.standardError.size(), ("sfxpkg inspect: cannot open " + missing + ": \n").size());
  }
  // The report of a missing file has every key a report has.
  const auto missingReport = testsupport::JsonValue::Parse(sfxpkgtest::Sfxpkg({"inspect", "--json", missing}).standardOutput);
  ASSERT_TRUE(missingReport);
  EXPECT_TRUE((*missingReport)["archive"].IsNull());
  EXPECT_EQ((*missingReport)["file"].String(), missing);
}

// An engine the launcher cannot start is built only when asked for by name;
// --force, its old name, still works and says so.
TEST(Conventions, AnEngineMismatchIsBuiltOnlyWhenAllowed) {
  testsupport::ScratchFolder scratch;
  auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  inputs.engine = scratch.Write("in/engine.txt", "setup engine, in words\n");
  const struct {
    const char* option;
    uint32_t exitCode;
    std::vector<std::string> lines;
  } cases[] = {
      {nullptr, 1, {"is no program, which ", "(--allow-engine-mismatch builds it all the same)"}},
      {"--allow-engine-mismatch", 0, {"warning: --engine ", "(built all the same: --allow-engine-mismatch)"}},
      {"--force", 0, {"warning: --force is the old name of --allow-engine-mismatch", "(built all the same: "}},
  };
  for (const auto& asked : cases) {
    SCOPED_TRACE(asked.option ? asked.option : "neither");
    std::vector<std::string> extra;
    if (asked.option) extra.push_back(asked.option);
    const auto result = sfxpkgtest::Sfxpkg(sfxpkgtest::BuildArguments(inputs, "pw", scratch.Path() / "P.exe", extra));
    EXPECT_EQ(result.exitCode, asked.exitCode) << result.standardError;
    for (const std::string& line : asked.lines) {
      EXPECT_NE(result.standardError.find(line), std::string::npos) << result.standardError;
    }
    EXPECT_EQ(std::filesystem::exists(scratch.Path() / "P.exe"), asked.exitCode == 0);
  }
}

// verify --json: one document for every package, numbers as numbers and CRCs as
// fixed-width hex strings, as inspect writes them.
TEST(Conventions, VerifyWritesItsVerdictsAsJson) {
  testsupport::ScratchFolder scratch;
  const auto [inputs, good] = BuildPackage(scratch, "Good.exe");
  const auto bad = scratch.Write("Bad.exe", "no package");
  const auto result = sfxpkgtest::Sfxpkg({"verify", "--json", sfxpkgtest::U8(good), sfxpkgtest::U8(bad)});
  EXPECT_EQ(result.exitCode, 1u);
  const auto json = testsupport::JsonValue::Parse(result.standardOutput);
  ASSERT_TRUE(json) << result.standardOutput;
  const auto& packages = (*json)["packages"];
  ASSERT_EQ(packages.Size(), 2u);
  EXPECT_TRUE(packages[0]["runs"].Bool());
  EXPECT_EQ(packages[0]["members"].Size(), 4u);
  EXPECT_EQ(packages[0]["members"][1]["name"].String(), "A1");
  EXPECT_EQ(packages[0]["members"][1]["size"].Number(), inputs.content.engine.size());
  const std::string crc = packages[0]["members"][1]["crc32"].String();
  EXPECT_EQ(crc.size(), 10u);
  EXPECT_EQ(crc.rfind("0x", 0), 0u);
  EXPECT_FALSE(packages[1]["runs"].Bool());
  EXPECT_EQ(packages[1]["problems"].Size(), 1u);
  EXPECT_NE(packages[1]["problems"][0].String().find("no package marker"), std::string::npos);
}

// The processor this build's programs are made for, as sfxpkg names it.
constexpr const char* kBuildArchitecture =
#if defined(__x86_64__)
    "x86_64";
#elif defined(__i386__)
    "i686";
#elif defined(__aarch64__)
    "arm64";
#else
    "unknown";
#endif

// Which launcher a package carries, its version and its processor: the build's own
// launcher (the Linux launcher, launcher.exe or launcher64.exe) as built.
TEST(Conventions, InspectNamesTheLauncherAndItsVersion) {
  testsupport::ScratchFolder scratch;
  const auto [inputs, package] = BuildPackage(scratch);
  const auto inspected = sfxpkgtest::Sfxpkg({"inspect", "--json", sfxpkgtest::U8(package)});
  const auto json = testsupport::JsonValue::Parse(inspected.standardOutput);
  ASSERT_TRUE(json) << inspected.standardOutput;
  const bool windows = sfxpkgtest::SfxpkgProgram().extension() == ".exe";
  const auto& image = (*json)["launcher_image"];
  EXPECT_EQ(image["kind"].String(), windows ? "windows" : "linux");
  // The Windows stubs' version records have four parts, the Linux launcher's identity three.
  const std::string version = windows ? SFX_VERSION ".0" : SFX_VERSION;
  EXPECT_EQ(image["version"].String(), version);
  EXPECT_EQ(image["stub"].String(), inputs.launcher.filename().u8string());
  EXPECT_EQ(image["architecture"].String(), kBuildArchitecture);

  const auto text = sfxpkgtest::Sfxpkg({"inspect", sfxpkgtest::U8(package)});
  const std::string named = (windows ? inputs.launcher.filename().u8string() : "the Linux launcher") + " " + version +
                            " (" + kBuildArchitecture + ")\n";
  EXPECT_NE(text.standardOutput.find("\nlauncher image  offset 0, "), std::string::npos) << text.standardOutput;
  EXPECT_NE(text.standardOutput.find(" bytes: " + named), std::string::npos) << text.standardOutput;
}

// Control characters from a package (a member's name, the second field) reach a
// terminal escaped, and JSON stays JSON that gives them back.
TEST(Conventions, InspectEscapesControlCharacters) {
  testsupport::ScratchFolder scratch;
  const std::string secondField = "\x1b]0;owned\x07\x1b[2J";
  const std::string memberName = "A9\x1b[31m\xc2\x9b";
  const auto c = testsupport::ContentWithTestEngine();
  auto members = testsupport::PackageMembers(c, "pw");
  members.push_back(testsupport::Member(memberName, "x", "pw"));
  const std::filesystem::path package = testsupport::WritePackage(
      scratch.Path() / "Package.exe",
      testsupport::ZipBytes(members) + package::BuildPackageTrailer("pw", secondField, 1));

  const auto text = sfxpkgtest::Sfxpkg({"inspect", sfxpkgtest::U8(package), "--codepage", "utf-8"});
  EXPECT_EQ(text.exitCode, 0u) << text.standardError;
  for (const char control : {'\x1b', '\x07'}) {
    EXPECT_EQ(text.standardOutput.find(control), std::string::npos) << text.standardOutput;
  }
  EXPECT_EQ(text.standardOutput.find("\xc2\x9b"), std::string::npos) << text.standardOutput;
  EXPECT_NE(text.standardOutput.find("\"\\x1b]0;owned\\x07\\x1b[2J\""), std::string::npos) << text.standardOutput;
  EXPECT_NE(text.standardOutput.find("A9\\x1b[31m\\u009b"), std::string::npos) << text.standardOutput;

  const auto json = sfxpkgtest::Sfxpkg({"inspect", "--json", sfxpkgtest::U8(package), "--codepage", "utf-8"});
  EXPECT_EQ(json.standardOutput.find('\x1b'), std::string::npos) << json.standardOutput;
  const auto report = testsupport::JsonValue::Parse(json.standardOutput);
  ASSERT_TRUE(report) << json.standardOutput;
  EXPECT_EQ((*report)["second_field"].String(), secondField);
  EXPECT_EQ((*report)["archive"]["members"][4]["name"].String(), memberName);
}

// A PE header offset (e_lfanew) that points anywhere, up to 4 GiB away, makes an
// image no program: sfxpkg says so, in its own words, for a launcher and an engine.
TEST(Conventions, AnyPeHeaderOffsetGivesAClearAnswer) {
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const std::string payload = testsupport::ZipBytes(testsupport::PackageMembers(inputs.content, "pw")) +
                              package::BuildPackageTrailer("pw", "", 1);
  for (const uint32_t offset : {0xFFFFFFFCu, 0xFFFFFFFFu, 0x80000000u, 0x0FFCu, 0x1000u}) {
    SCOPED_TRACE(offset);
    std::string image = "MZ" + std::string(0x3A, '\0');
    for (int i = 0; i < 4; ++i) image.push_back(static_cast<char>(offset >> (8 * i)));
    image += std::string(0x1000, '\0');
    const std::filesystem::path package = scratch.Write("Package.exe", image + payload);
    for (const char* command : {"inspect", "verify"}) {
      const auto result = sfxpkgtest::Sfxpkg({command, sfxpkgtest::U8(package)});
      EXPECT_EQ(result.exitCode, std::string(command) == "inspect" ? 0u : 1u) << result.standardError;
      EXPECT_EQ(result.standardError.find("sfxpkg: "), std::string::npos) << result.standardError;
      EXPECT_NE((result.standardOutput + result.standardError).find("no launcher of sfx-launcher"), std::string::npos);
    }
    const std::filesystem::path engine = scratch.Write("engine.exe", image);
    auto arguments = sfxpkgtest::BuildArguments(inputs, "pw", scratch.Path() / "Built.exe");
    arguments[4] = sfxpkgtest::U8(engine);
    const auto built = sfxpkgtest::Sfxpkg(arguments);
    EXPECT_EQ(built.exitCode, 1u);
    EXPECT_NE(built.standardError.find("--engine " + sfxpkgtest::U8(engine) + " is no program"), std::string::npos)
        << built.standardError;
  }
}

// Long work shows a progress line on a terminal, and only there; -q keeps it quiet.
TEST(Conventions, ProgressOnATerminalOnly) {
  if (sfxpkgtest::SfxpkgProgram().extension() == ".exe") GTEST_SKIP() << "the terminal is made with script(1)";
  testsupport::ScratchFolder scratch;
  auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  // Sparse: 64 MiB of zeros cost no disk and deflate to almost nothing. Each member
  // is read twice (its CRC first).
  inputs.data = scratch.Path() / "large.dat";
  std::filesystem::resize_file(scratch.Write("large.dat", ""), 64 << 20);
  const auto build = [&](const std::string& name, const std::vector<std::string>& extra) {
    auto arguments = sfxpkgtest::BuildArguments(inputs, "pw", scratch.Path() / name, extra);
    std::string command = sfxpkgtest::U8(sfxpkgtest::SfxpkgProgram());
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    // script(1) gives the command a terminal and copies what it writes there.
    return testsupport::RunTool("/usr/bin/script", {"-qec", command, "/dev/null"});
  };
  const auto onTerminal = build("a.pkg", {"--level", "1"});
  EXPECT_EQ(onTerminal.exitCode, 0u);
  // The line names the members' size, though each is read twice.
  uint64_t members = 0;
  for (const auto& member : {inputs.engine, inputs.data, inputs.ui, inputs.exp}) members += std::filesystem::file_size(member);
  const std::string size = std::to_string((members + (1 << 19)) >> 20) + " MiB ";
  EXPECT_NE(onTerminal.standardOutput.find("\rsfxpkg build: 0% of " + size), std::string::npos)
      << onTerminal.standardOutput;
  EXPECT_EQ(onTerminal.standardOutput.find(" of " + std::to_string(2 * (members >> 20))), std::string::npos)
      << onTerminal.standardOutput;
  const auto quiet = build("b.pkg", {"--level", "1", "-q"});
  EXPECT_EQ(quiet.exitCode, 0u);
  EXPECT_EQ(quiet.standardOutput, "");  // not even the line that says what was written

  const auto notTerminal = sfxpkgtest::Sfxpkg({"verify", sfxpkgtest::U8(scratch.Path() / "a.pkg")});
  EXPECT_EQ(notTerminal.exitCode, 0u);
  EXPECT_EQ(notTerminal.standardError.find("% of"), std::string::npos) << notTerminal.standardError;
}

}  // namespace
