// A package made by "sfxpkg build" gives its inputs back through verify, inspect
// and extract, and runs under the launcher.
#include <gtest/gtest.h>

#include "package/package_trailer.h"
#include "sfxpkg_tool.h"
#include "support/json_value.h"
#include "support/launcher_package.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;
using sfxpkgtest::Sfxpkg;
using sfxpkgtest::U8;
using testsupport::JsonValue;

namespace {

constexpr char kPassword[] = "Pa55-word:2026";
constexpr char kSecondField[] = "Build 2026.12 (beta)";

struct LevelCase {
  const char* level;
  const char* method;
};

class BuildRoundTrip : public ::testing::TestWithParam<LevelCase> {};

TEST_P(BuildRoundTrip, VerifyInspectAndExtractGiveBackTheInputs) {
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const fs::path package = scratch.Path() / "out" / "Setup Package.exe";
  fs::create_directories(package.parent_path());
  const auto built = Sfxpkg(sfxpkgtest::BuildArguments(inputs, kPassword, package,
                                                       {"--second-field", kSecondField, "--level", GetParam().level}));
  ASSERT_EQ(built.exitCode, 0u) << built.standardError;
  // Nothing but the package is left in the output folder.
  EXPECT_EQ(scratch.Entries("out"), std::vector<std::string>{"Setup Package.exe"});

  const auto verified = Sfxpkg({"verify", U8(package)});
  EXPECT_EQ(verified.exitCode, 0u) << verified.standardError;
  EXPECT_NE(verified.standardError.find("will run"), std::string::npos) << verified.standardError;

  const auto inspected = Sfxpkg({"inspect", "--json", "--show-password", U8(package)});
  ASSERT_EQ(inspected.exitCode, 0u) << inspected.standardError;
  const auto json = JsonValue::Parse(inspected.standardOutput);
  ASSERT_TRUE(json) << inspected.standardOutput;
  const JsonValue& report = *json;
  const uint64_t launcherSize = fs::file_size(inputs.launcher);
  const uint64_t packageSize = fs::file_size(package);
  EXPECT_EQ(report["size"].Number(), packageSize);
  EXPECT_EQ(report["launcher_image"]["offset"].Number(), 0u);
  EXPECT_EQ(report["launcher_image"]["size"].Number(), launcherSize);
  // The pieces follow each other without a gap: image, archive, trailer, marker at the end.
  const JsonValue& archive = report["archive"];
  EXPECT_EQ(archive["offset"].Number(), launcherSize);
  EXPECT_EQ(archive["offset"].Number() + archive["size"].Number(), report["trailer"]["offset"].Number());
  EXPECT_EQ(report["trailer"]["offset"].Number() + report["trailer"]["size"].Number(), packageSize);
  EXPECT_EQ(report["marker"]["offset"].Number(), packageSize - 13);
  EXPECT_EQ(report["marker"]["distance"].Number(), 13u);
  EXPECT_EQ(report["after_marker"]["size"].Number(), 0u);
  EXPECT_TRUE(report["signature_block"].IsNull());
  EXPECT_EQ(report["trailer"]["format_version"].Number(), 1u);
  EXPECT_EQ(report["trailer"]["third_word"].Number(), 0x46530001u);
  EXPECT_EQ(report["trailer"]["password_length"].Number(), std::string(kPassword).size());
  EXPECT_EQ(report["password"].String(), kPassword);
  EXPECT_EQ(report["second_field"].String(), kSecondField);

  const std::vector<std::pair<std::string, const std::string*>> expected = {
      {"A0", &inputs.content.data}, {"A1", &inputs.content.engine}, {"A3", &inputs.content.ui},
      {"A4", &inputs.content.exp}};
  ASSERT_EQ(archive["members"].Size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const JsonValue& member = archive["members"][i];
    EXPECT_EQ(member["name"].String(), expected[i].first);
    EXPECT_EQ(member["size"].Number(), expected[i].second->size()) << expected[i].first;
    EXPECT_EQ(member["method"].String(), GetParam().method) << expected[i].first;
    EXPECT_TRUE(member["encrypted"].Bool()) << expected[i].first;
  }

  const fs::path unpacked = scratch.Path() / "unpacked";
  const auto extracted = Sfxpkg({"extract", U8(package), "-C", U8(unpacked)});
  ASSERT_EQ(extracted.exitCode, 0u) << extracted.standardError;
  EXPECT_EQ(scratch.Entries("unpacked"),
            (std::vector<std::string>{"Setup Package.exe", "Setup_Exp.dll", "Setup_UI.dll", "setup.dat"}));
  EXPECT_EQ(testsupport::ReadFileBytes(unpacked / "setup.dat"), inputs.content.data);
  EXPECT_EQ(testsupport::ReadFileBytes(unpacked / "Setup Package.exe"), inputs.content.engine);
  EXPECT_EQ(testsupport::ReadFileBytes(unpacked / "Setup_UI.dll"), inputs.content.ui);
  EXPECT_EQ(testsupport::ReadFileBytes(unpacked / "Setup_Exp.dll"), inputs.content.exp);
}

INSTANTIATE_TEST_SUITE_P(Levels, BuildRoundTrip,
                         ::testing::Values(LevelCase{"9", "deflated"}, LevelCase{"0", "stored"}),
                         [](const auto& info) { return std::string("Level") + info.param.level; });

TEST(Inspect, MasksThePasswordUnlessAsked) {
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const fs::path package = scratch.Path() / "Package.exe";
  ASSERT_EQ(Sfxpkg(sfxpkgtest::BuildArguments(inputs, kPassword, package)).exitCode, 0u);

  for (const bool json : {true, false}) {
    const auto inspected = json ? Sfxpkg({"inspect", "--json", U8(package)}) : Sfxpkg({"inspect", U8(package)});
    EXPECT_EQ(inspected.exitCode, 0u);
    EXPECT_EQ(inspected.standardOutput.find(kPassword), std::string::npos) << inspected.standardOutput;
    EXPECT_NE(inspected.standardOutput.find("A1"), std::string::npos) << inspected.standardOutput;
    if (json) {
      EXPECT_TRUE(JsonValue::Parse(inspected.standardOutput).value_or(JsonValue())["password"].IsNull());
    }
  }
}

TEST(BuiltPackage, RunsUnderTheLauncher) {
  testsupport::LauncherSandbox box;
  const auto inputs = sfxpkgtest::WriteInputs(box.Scratch().Path() / "in");
  const fs::path package = box.Scratch().Path() / "Package.exe";
  ASSERT_EQ(Sfxpkg(sfxpkgtest::BuildArguments(inputs, kPassword, package)).exitCode, 0u);

  const auto result = box.Start(package, {L"/silent"});
  ASSERT_TRUE(result.started);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Package.exe"), inputs.content.engine);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "setup.dat"), inputs.content.data);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Setup_UI.dll"), inputs.content.ui);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Setup_Exp.dll"), inputs.content.exp);
  EXPECT_NE(testsupport::ReadFileBytes(box.Report() / "setup.cfg").find("Shell_Slient=1"), std::string::npos);
}

// The code page that the launcher on this machine reads its trailer in.
std::string MachineCodePage() {
#ifdef _WIN32
  return std::to_string(GetACP());
#else
  return "utf-8";
#endif
}

TEST(BuiltPackage, APasswordOutsideAsciiRunsWhereItsCodePageIsTheMachines) {
  testsupport::LauncherSandbox box;
  const auto inputs = sfxpkgtest::WriteInputs(box.Scratch().Path() / "in");
  const fs::path package = box.Scratch().Path() / "Package.exe";
  const std::string password = "Gr\xC3\xBC\xC3\x9F" "e \xC3\xA0 Z\xC3\xBCrich";  // "Grüße à Zürich"
  const auto built = Sfxpkg(sfxpkgtest::BuildArguments(inputs, password, package, {"--codepage", MachineCodePage()}));
  ASSERT_EQ(built.exitCode, 0u) << built.standardError;

  const auto verified = Sfxpkg({"verify", U8(package)});
  EXPECT_EQ(verified.exitCode, 0u) << verified.standardError;
  const auto result = box.Start(package);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Package.exe"), inputs.content.engine);
}

TEST(Build, ReplacesAnEarlierPackageOfTheSameName) {
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const fs::path package = scratch.Write("Package.exe", "an older package");
  const auto built = Sfxpkg(sfxpkgtest::BuildArguments(inputs, kPassword, package));
  ASSERT_EQ(built.exitCode, 0u) << built.standardError;
  EXPECT_EQ(Sfxpkg({"verify", U8(package)}).exitCode, 0u);
  EXPECT_EQ(scratch.Entries(), (std::vector<std::string>{"Package.exe", "in"}));
}

// A password whose scrambled bytes spell the marker puts the marker's text at the
// trailer's first byte: harmless now, but once a signature is appended the launcher
// would read its trailer from there. build says so, and how far from the end.
TEST(Build, WarnsOfTheMarkersTextInsideItsLastBytes) {
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  std::string password = package::kPackageMarker;
  for (char& ch : password) ch = static_cast<char>(ch ^ package::kPasswordKey);
  const fs::path package = scratch.Path() / "Package.exe";
  const auto built = Sfxpkg(sfxpkgtest::BuildArguments(inputs, password, package));
  ASSERT_EQ(built.exitCode, 0u) << built.standardError;
  // The trailer: the password, three words and the marker.
  const size_t distance = password.size() + 12 + package::kPackageMarkerSize;
  EXPECT_NE(built.standardError.find("warning: the marker's text also occurs " + std::to_string(distance) +
                                     " bytes before the end of the package"),
            std::string::npos)
      << built.standardError;
  // An ordinary password gives no such warning.
  const auto plain = Sfxpkg(sfxpkgtest::BuildArguments(inputs, kPassword, scratch.Path() / "Plain.exe"));
  ASSERT_EQ(plain.exitCode, 0u);
  EXPECT_EQ(plain.standardError.find("marker's text"), std::string::npos) << plain.standardError;
}

TEST(Sfxpkg, EveryCommandHasHelpAndRefusesUnknownOptions) {
  for (const char* command : {"build", "inspect", "verify", "extract"}) {
    const auto help = Sfxpkg({command, "--help"});
    EXPECT_EQ(help.exitCode, 0u) << command;
    EXPECT_EQ(help.standardOutput.rfind(std::string("usage: sfxpkg ") + command, 0), 0u) << help.standardOutput;
    const auto wrong = Sfxpkg({command, "--no-such-option"});
    EXPECT_EQ(wrong.exitCode, 2u) << command;
    EXPECT_NE(wrong.standardError.find("unknown option --no-such-option"), std::string::npos) << wrong.standardError;
    EXPECT_EQ(wrong.standardOutput, "") << command;
  }
  EXPECT_EQ(Sfxpkg({}).exitCode, 2u);
  EXPECT_EQ(Sfxpkg({"pack"}).exitCode, 2u);
}

}  // namespace
