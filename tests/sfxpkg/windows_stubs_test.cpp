// The two Windows stubs: launcher.exe (i686) and launcher64.exe (x86_64). build takes
// either, inspect names the one a package carries and its processor, and build and
// verify warn of an engine that cannot start everywhere its stub runs. The real stubs
// are used where the build has them; hand-made stand-ins otherwise.
#include <gtest/gtest.h>

#include "pe_fixture.h"
#include "sfxpkg_tool.h"
#include "support/json_value.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using sfxpkgtest::kMachineAmd64;
using sfxpkgtest::kMachineArm64;
using sfxpkgtest::kMachineI386;
using sfxpkgtest::Sfxpkg;
using sfxpkgtest::U8;
using testsupport::JsonValue;

namespace {

constexpr char kVersion[] = SFX_VERSION ".0";  // as the stubs' version records give it

struct Stub {
  const char* fileName;
  const char* architecture;
  uint16_t machine;
};
const Stub kLauncher{"launcher.exe", "i686", kMachineI386};
const Stub kLauncher64{"launcher64.exe", "x86_64", kMachineAmd64};

std::ostream& operator<<(std::ostream& out, const Stub& stub) { return out << stub.fileName; }

// The inputs of a package behind stub, with a hand-made Windows engine for machine.
sfxpkgtest::PackageInputs InputsBehind(const testsupport::ScratchFolder& scratch, const Stub& stub,
                                       uint16_t engineMachine) {
  auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const auto file = sfxpkgtest::WindowsStub(stub.fileName, stub.machine, scratch.Path() / "stubs");
  std::cout << "[ stub     ] " << U8(file.path) << (file.real ? " (as built)" : " (a hand-made stand-in)") << "\n";
  inputs.launcher = file.path;
  inputs.engine = scratch.Write("Engine.exe", sfxpkgtest::MinimalPeImage(engineMachine));
  return inputs;
}

// The line of a report that begins with label.
std::string LineOf(const std::string& text, const std::string& label) {
  const size_t at = text.find("\n" + label);
  if (at == std::string::npos) return "<no line " + label + ">";
  return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

class StubPackage : public ::testing::TestWithParam<Stub> {};

TEST_P(StubPackage, InspectNamesTheStubAndItsProcessorAndVerifyPasses) {
  const Stub& stub = GetParam();
  testsupport::ScratchFolder scratch;
  const auto inputs = InputsBehind(scratch, stub, stub.machine);
  const fs::path package = scratch.Path() / "Setup.exe";
  const auto built = Sfxpkg(sfxpkgtest::BuildArguments(inputs, "Pa55-word", package));
  ASSERT_EQ(built.exitCode, 0u) << built.standardError;

  const std::string named = std::string(stub.fileName) + " " + kVersion + " (" + stub.architecture + ")";
  const auto text = Sfxpkg({"inspect", U8(package)});
  EXPECT_EQ(text.exitCode, 0u) << text.standardError;
  const std::string line = LineOf(text.standardOutput, "launcher image  offset 0, ");
  EXPECT_EQ(line.substr(line.rfind(": ") + 2), named) << text.standardOutput;

  const auto json = Sfxpkg({"inspect", "--json", U8(package)});
  const auto report = JsonValue::Parse(json.standardOutput);
  ASSERT_TRUE(report) << json.standardOutput;
  const JsonValue& image = (*report)["launcher_image"];
  EXPECT_EQ(image["size"].Number(), fs::file_size(inputs.launcher));
  EXPECT_EQ(image["kind"].String(), "windows");
  EXPECT_EQ(image["version"].String(), kVersion);
  EXPECT_EQ(image["stub"].String(), stub.fileName);
  EXPECT_EQ(image["architecture"].String(), stub.architecture);

  const auto verified = Sfxpkg({"verify", U8(package)});
  EXPECT_EQ(verified.exitCode, 0u) << verified.standardError;
  EXPECT_NE(verified.standardError.find(": will run"), std::string::npos) << verified.standardError;
}

INSTANTIATE_TEST_SUITE_P(WindowsStubs, StubPackage, ::testing::Values(kLauncher, kLauncher64),
                         [](const auto& info) { return std::string(info.param.machine == kMachineI386 ? "Launcher" : "Launcher64"); });

// A Windows engine of any processor is packed behind either stub; where the pair
// cannot run everywhere the stub runs, build and verify warn, and verify still passes.
struct Pairing {
  const char* name;
  Stub stub;
  uint16_t engine;
  const char* warning;  // what follows the engine's name, or none
};

std::ostream& operator<<(std::ostream& out, const Pairing& pairing) { return out << pairing.name; }

class EngineArchitecture : public ::testing::TestWithParam<Pairing> {};

TEST_P(EngineArchitecture, WarnsWhereThePairCannotRunEverywhereTheStubRuns) {
  const Pairing& pairing = GetParam();
  testsupport::ScratchFolder scratch;
  const auto inputs = InputsBehind(scratch, pairing.stub, pairing.engine);
  const fs::path package = scratch.Path() / "Setup.exe";

  const auto built = Sfxpkg(sfxpkgtest::BuildArguments(inputs, "Pa55-word", package));
  ASSERT_EQ(built.exitCode, 0u) << built.standardError;
  const auto verified = Sfxpkg({"verify", "--json", U8(package)});
  EXPECT_EQ(verified.exitCode, 0u) << verified.standardError;
  const auto report = JsonValue::Parse(verified.standardOutput);
  ASSERT_TRUE(report) << verified.standardOutput;
  const JsonValue& verdict = (*report)["packages"][0];
  EXPECT_TRUE(verdict["runs"].Bool());
  EXPECT_EQ(verdict["problems"].Size(), 0u);

  if (!pairing.warning) {
    EXPECT_EQ(built.standardError.find("warning"), std::string::npos) << built.standardError;
    EXPECT_EQ(verified.standardError.find("warning"), std::string::npos) << verified.standardError;
    EXPECT_EQ(verdict["warnings"].Size(), 0u) << verified.standardOutput;
    return;
  }
  EXPECT_NE(built.standardError.find("sfxpkg build: warning: --engine " + U8(inputs.engine) + " " + pairing.warning +
                                     "\n"),
            std::string::npos)
      << built.standardError;
  const std::string member = std::string("member A1 (the setup engine) ") + pairing.warning;
  EXPECT_NE(verified.standardError.find("sfxpkg verify: warning: " + U8(package) + ": " + member + "\n"),
            std::string::npos)
      << verified.standardError;
  ASSERT_EQ(verdict["warnings"].Size(), 1u) << verified.standardOutput;
  EXPECT_EQ(verdict["warnings"][0].String(), member);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsStubs, EngineArchitecture,
    ::testing::Values(
        Pairing{"I686EngineBehindLauncher", kLauncher, kMachineI386, nullptr},
        Pairing{"X64EngineBehindLauncher64", kLauncher64, kMachineAmd64, nullptr},
        Pairing{"X64EngineBehindLauncher", kLauncher, kMachineAmd64,
                "is a 64-bit Windows program (x86_64): on 32-bit Windows, launcher.exe starts but the engine cannot; "
                "launcher64.exe suits a 64-bit engine"},
        Pairing{"I686EngineBehindLauncher64", kLauncher64, kMachineI386,
                "is a 32-bit Windows program (i686): on 64-bit Windows without WoW64 (Windows PE x64, Server Core "
                "without it), launcher64.exe starts but the engine cannot; launcher.exe suits a 32-bit engine"},
        Pairing{"Arm64EngineBehindLauncher", kLauncher, kMachineArm64,
                "is a Windows program for arm64: it starts only on Windows for arm64, not on every system "
                "launcher.exe runs on"},
        Pairing{"UnknownProcessorBehindLauncher64", kLauncher64, 0x01C2,
                "is a Windows program for a processor sfxpkg does not know (machine 0x01C2), which may not start on "
                "the systems launcher64.exe runs on"}),
    [](const auto& info) { return std::string(info.param.name); });

// Images that carry the product's name but are no stub sfxpkg knows, and an
// engine of the wrong system: build refuses them and names the stub.
struct Refusal {
  const char* name;
  std::string stub;
  std::string engine;
  std::string message;
};

std::ostream& operator<<(std::ostream& out, const Refusal& refusal) { return out << refusal.name; }

class NoKnownStub : public ::testing::TestWithParam<Refusal> {};

TEST_P(NoKnownStub, BuildRefusesAndSaysWhy) {
  const Refusal& refusal = GetParam();
  testsupport::ScratchFolder scratch;
  auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  inputs.launcher = scratch.Write("stub.exe", refusal.stub);
  inputs.engine = scratch.Write("Engine.exe", refusal.engine);
  const auto built = Sfxpkg(sfxpkgtest::BuildArguments(inputs, "Pa55-word", scratch.Path() / "Setup.exe"));
  EXPECT_EQ(built.exitCode, 1u);
  EXPECT_NE(built.standardError.find(refusal.message), std::string::npos) << built.standardError;
  EXPECT_FALSE(fs::exists(scratch.Path() / "Setup.exe"));
}

const std::string kNoStub = "is no launcher of sfx-launcher (launcher.exe, launcher64.exe or the Linux launcher)";

INSTANTIATE_TEST_SUITE_P(
    WindowsStubs, NoKnownStub,
    ::testing::Values(
        Refusal{"AnotherProduct",
                sfxpkgtest::MinimalPeImage(kMachineI386, {{"ProductName", "other-launcher"},
                                                          {"OriginalFilename", "launcher.exe"}}),
                sfxpkgtest::MinimalPeImage(kMachineI386), "stub.exe " + kNoStub + "\n"},
        Refusal{"Launcher64NameOnAnI686Image", sfxpkgtest::StubImage("launcher64.exe", kMachineI386),
                sfxpkgtest::MinimalPeImage(kMachineI386),
                ": its version record names launcher64.exe, which is built for x86_64, but its header names i686"},
        Refusal{"LauncherNameOnAnX64Image", sfxpkgtest::StubImage("launcher.exe", kMachineAmd64),
                sfxpkgtest::MinimalPeImage(kMachineAmd64),
                ": its version record names launcher.exe, which is built for i686, but its header names x86_64"},
        Refusal{"UnknownStubName", sfxpkgtest::StubImage("launcher-arm64.exe", kMachineArm64),
                sfxpkgtest::MinimalPeImage(kMachineArm64),
                kNoStub + ": its version record names the file \"launcher-arm64.exe\", which is no stub sfxpkg knows"},
        Refusal{"NoOriginalFilename", sfxpkgtest::MinimalPeImage(kMachineI386, {{"ProductName", "sfx-launcher"}}),
                sfxpkgtest::MinimalPeImage(kMachineI386),
                kNoStub + ": its version record names no original file name"},
        Refusal{"LinuxEngineBehindLauncher64", sfxpkgtest::StubImage("launcher64.exe", kMachineAmd64),
                std::string("\x7F" "ELF\x02\x01\x01", 7) + std::string(100, '\0'),
                "Engine.exe is a Linux program, which launcher64.exe cannot start (--allow-engine-mismatch builds it all the same)"}),
    [](const auto& info) { return std::string(info.param.name); });

// A stub whose header was changed after the build: verify fails the package and
// inspect says why the image is no launcher.
TEST(WindowsStubs, AStubWhoseHeaderDisagreesWithItsNameFailsVerify) {
  testsupport::ScratchFolder scratch;
  const auto inputs = InputsBehind(scratch, kLauncher64, kMachineAmd64);
  const fs::path built = scratch.Path() / "Built.exe";
  ASSERT_EQ(Sfxpkg(sfxpkgtest::BuildArguments(inputs, "Pa55-word", built)).exitCode, 0u);
  std::string bytes = testsupport::ReadFileBytes(built);
  const size_t machine = (static_cast<uint8_t>(bytes[0x3C]) | static_cast<uint8_t>(bytes[0x3D]) << 8) + 4;
  bytes[machine] = '\x4C';
  bytes[machine + 1] = '\x01';
  const fs::path package = scratch.Write("Setup.exe", bytes);
  const std::string why = "its version record names launcher64.exe, which is built for x86_64, but its header names i686";

  const auto verified = Sfxpkg({"verify", U8(package)});
  EXPECT_EQ(verified.exitCode, 1u);
  EXPECT_NE(verified.standardError.find(U8(package) +
                                        ": the launcher image in front of the archive is no launcher of sfx-launcher: " +
                                        why + "\n"),
            std::string::npos)
      << verified.standardError;
  const auto text = Sfxpkg({"inspect", U8(package)});
  EXPECT_NE(LineOf(text.standardOutput, "launcher image  ").find(": no launcher of sfx-launcher (" + why + ")"),
            std::string::npos)
      << text.standardOutput;
  const auto report = JsonValue::Parse(Sfxpkg({"inspect", "--json", U8(package)}).standardOutput);
  ASSERT_TRUE(report);
  EXPECT_TRUE((*report)["launcher_image"].Has("stub"));
  EXPECT_TRUE((*report)["launcher_image"]["stub"].IsNull());
  EXPECT_TRUE((*report)["launcher_image"]["kind"].IsNull());
}

}  // namespace
