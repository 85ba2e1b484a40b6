// "sfxpkg build" refuses inputs that cannot make a working package, says why, and
// writes nothing: an earlier package of the same name stays as it was.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "sfxpkg_tool.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using sfxpkgtest::U8;

namespace {

constexpr char kOlderPackage[] = "the package of an earlier build";

struct Refusal {
  const char* name;
  // Options to set (a value) or to drop (none); "@file" and "@folder" stand for a
  // password file of passwordFile's bytes and for an existing folder (in the
  // message too), "@flag" for an option without a value.
  std::map<std::string, std::optional<std::string>> options;
  uint32_t exitCode;
  const char* message;
  std::string passwordFile = "";
};

std::ostream& operator<<(std::ostream& out, const Refusal& refusal) { return out << refusal.name; }

class BuildRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(BuildRefusal, SaysWhyAndWritesNothing) {
  const Refusal& refusal = GetParam();
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const fs::path passwordFile = scratch.Write("password.txt", refusal.passwordFile);
  const fs::path out = scratch.Path() / "out";
  const fs::path package = out / "Package.exe";
  fs::create_directories(out);
  scratch.Write("out/Package.exe", kOlderPackage);

  std::map<std::string, std::optional<std::string>> options = {
      {"--launcher", U8(inputs.launcher)}, {"--engine", U8(inputs.engine)}, {"--data", U8(inputs.data)},
      {"--ui", U8(inputs.ui)},             {"--exp", U8(inputs.exp)},       {"--password", "Pa55-word"},
      {"-o", U8(package)}};
  for (const auto& [name, value] : refusal.options) options[name] = value;
  std::vector<std::string> arguments = {"build"};
  for (const auto& [name, value] : options) {
    if (!value) continue;
    arguments.push_back(name);
    if (*value == "@flag") continue;
    arguments.push_back(*value == "@file" ? U8(passwordFile) : *value == "@folder" ? U8(scratch.Path() / "in") : *value);
  }

  const auto result = sfxpkgtest::Sfxpkg(arguments);
  EXPECT_EQ(result.exitCode, refusal.exitCode) << result.standardError;
  std::string message = refusal.message;
  if (const size_t at = message.find("@folder"); at != std::string::npos) {
    message.replace(at, 7, U8(scratch.Path() / "in"));
  }
  if (const size_t at = message.find("@file"); at != std::string::npos) message.replace(at, 5, U8(passwordFile));
  EXPECT_NE(result.standardError.find(message), std::string::npos) << result.standardError;
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(scratch.Entries("out"), std::vector<std::string>{"Package.exe"});
  EXPECT_EQ(testsupport::ReadFileBytes(package), kOlderPackage);
}

const std::string k260(260, 'x');

INSTANTIATE_TEST_SUITE_P(
    Inputs, BuildRefusal,
    ::testing::Values(
        // Fields the launcher could not read back.
        Refusal{"ZeroByteInPassword", {{"--password", std::nullopt}, {"--password-file", "@file"}}, 1,
                "the launcher could not read it back: it holds a zero byte", std::string("ab\0cd", 5)},
        Refusal{"PasswordKeyByte", {{"--password", "semi;colon"}}, 1,
                "--password: the launcher could not read it back: it holds the byte its key scrambles to zero: ';' "
                "(0x3B)"},
        Refusal{"PasswordFileKeyByte", {{"--password", std::nullopt}, {"--password-file", "@file"}}, 1,
                "--password-file ", "semi;colon\n"},
        Refusal{"PasswordTooLong", {{"--password", k260}}, 1, "--password: the launcher could not read it back: it is "
                                                               "longer than 259 bytes"},
        Refusal{"SecondFieldTooLong", {{"--second-field", k260}}, 1, "--second-field: the launcher could not read it "
                                                                     "back: it is longer than 259 bytes"},
        Refusal{"SecondFieldKeyByte", {{"--second-field", "Para \xC2\xA7 5"}, {"--codepage", "1252"}}, 1,
                "--second-field: the launcher could not read it back: it holds the byte its key scrambles to zero: "
                "0xA7"},
        Refusal{"PasswordOutsideAscii", {{"--password", "Gr\xC3\xBC\xC3\x9F" "e"}}, 1,
                "--password holds characters outside ASCII: name the 8-bit code page"},
        Refusal{"CharacterMissingFromCodePage", {{"--password", "\xCE\xA9mega"}, {"--codepage", "1252"}}, 1,
                "--password holds characters that code page 1252 cannot hold"},
        Refusal{"PasswordFileNotUtf8", {{"--password", std::nullopt}, {"--password-file", "@file"}}, 1,
                "password.txt is not UTF-8 text", "caf\xE9"},
        // "kp>=" is stored as 50 4B 05 06, an end-record signature behind the archive.
        Refusal{"TrailerHoldingAnEndRecordSignature", {{"--password", "kp>="}}, 1,
                "would hold a zip end-record signature"},
        // Inputs that are missing or unreadable, and an output that cannot be written.
        Refusal{"MissingEngine", {{"--engine", "no-such-engine.exe"}}, 1, "cannot read --engine no-such-engine.exe: no "
                                                                          "such file"},
        Refusal{"FolderAsInterfaceLibrary", {{"--ui", "@folder"}}, 1, "not a file"},
        Refusal{"MissingPasswordFile", {{"--password", std::nullopt}, {"--password-file", "no-such-file"}}, 1,
                "cannot read --password-file no-such-file: no such file"},
        Refusal{"FolderAsPasswordFile", {{"--password", std::nullopt}, {"--password-file", "@folder"}}, 1,
                "cannot read --password-file @folder: it is a folder"},
        // A password file is one short line; read no further than that.
        Refusal{"OversizedPasswordFile", {{"--password", std::nullopt}, {"--password-file", "@file"}}, 1,
                "cannot read --password-file @file: it holds more than 4,096 bytes", std::string(4097, 'p')},
        Refusal{"MissingPasswordVariable",
                {{"--password", std::nullopt}, {"--password-env", "SFXPKG_TEST_VARIABLE_NOBODY_SETS"}}, 1,
                "--password-env SFXPKG_TEST_VARIABLE_NOBODY_SETS: no variable of that name in the environment"},
        // The older package stays with --no-clobber (without it, a build replaces it).
        Refusal{"NoClobber", {{"--no-clobber", "@flag"}}, 1, "Package.exe exists, and --no-clobber keeps it"},
        Refusal{"MultiLinePasswordFile", {{"--password", std::nullopt}, {"--password-file", "@file"}}, 1,
                "holds more than one line: the password is its first line only", "first\nsecond\n"},
        // Pieces that do not suit each other.
        Refusal{"TextFileAsLauncher", {{"--launcher", "@file"}}, 1, "is no launcher of sfx-launcher", "a text\n"},
        Refusal{"EngineTheLauncherCannotStart", {{"--engine", "@file"}}, 1,
                "is no program, which ", "setup engine, in words\n"},
        Refusal{"OutputFolderMissing", {{"-o", "no-such-folder/Package.exe"}}, 1,
                "-o no-such-folder/Package.exe: the folder no-such-folder does not exist"},
        // A wrong command line.
        Refusal{"MissingExp", {{"--exp", std::nullopt}}, 2, "missing --exp"},
        Refusal{"NoPassword", {{"--password", std::nullopt}}, 2,
                "give the password with one of --password, --password-file and --password-env"},
        Refusal{"TwoPasswords", {{"--password-env", "HOME"}}, 2,
                "give the password with one of --password, --password-file and --password-env"},
        // Inputs are read more than once: never from standard input.
        Refusal{"EngineFromStandardInput", {{"--engine", "-"}}, 2,
                "--engine - : inputs are read more than once, so none can come from standard input"},
        Refusal{"NoClobberOnStandardOutput", {{"-o", "-"}, {"--no-clobber", "@flag"}}, 2,
                "--no-clobber does not go with -o -"},
        Refusal{"LevelOutOfRange", {{"--level", "10"}}, 2, "--level takes a number from 0 to 9"},
        Refusal{"UnknownCodePage", {{"--codepage", "932"}}, 2, "--codepage 932 is none of"},
        Refusal{"UnknownOption", {{"--compress", "yes"}}, 2, "unknown option --compress"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildRefusals, EveryProblemIsToldAtOnce) {
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  auto arguments = sfxpkgtest::BuildArguments(inputs, "semi;colon", scratch.Path() / "Package.exe");
  for (size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == "--ui") arguments[i + 1] = "no-such-ui.dll";
  }
  const auto result = sfxpkgtest::Sfxpkg(arguments);
  EXPECT_EQ(result.exitCode, 1u);
  EXPECT_NE(result.standardError.find("(0x3B)"), std::string::npos) << result.standardError;
  EXPECT_NE(result.standardError.find("cannot read --ui no-such-ui.dll: no such file"), std::string::npos)
      << result.standardError;
  EXPECT_EQ(scratch.Entries(""), std::vector<std::string>{"in"});
}

TEST(BuildRefusals, TheLinuxLauncherReadsItsTrailerAsUtf8) {
  if (sfxpkgtest::SfxpkgProgram().extension() == ".exe") GTEST_SKIP() << "the tests' launcher is launcher.exe";
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const auto result = sfxpkgtest::Sfxpkg(
      sfxpkgtest::BuildArguments(inputs, "Gr\xC3\xBC\xC3\x9F" "e", scratch.Path() / "Package", {"--codepage", "1252"}));
  EXPECT_EQ(result.exitCode, 1u);
  EXPECT_NE(result.standardError.find("--codepage 1252 does not suit the Linux launcher"), std::string::npos)
      << result.standardError;
}

}  // namespace
