// Other tools read what sfxpkg writes: Info-ZIP's unzip and 7-Zip extract the
// archive of a built package with its password.
#include <gtest/gtest.h>

#include "sfxpkg_tool.h"
#include "support/json_value.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using sfxpkgtest::U8;

namespace {

constexpr char kPassword[] = "peer-Pa55";

void ExpectMembers(const fs::path& folder, const sfxpkgtest::PackageInputs& inputs) {
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "A0"), inputs.content.data);
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "A1"), inputs.content.engine);
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "A3"), inputs.content.ui);
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "A4"), inputs.content.exp);
}

TEST(Peers, UnzipAndSevenZipExtractTheArchiveOfABuiltPackage) {
  for (const char* level : {"9", "0"}) {
    SCOPED_TRACE(std::string("level ") + level);
    testsupport::ScratchFolder scratch;
    const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
    const fs::path package = scratch.Path() / "Package.exe";
    ASSERT_EQ(sfxpkgtest::Sfxpkg(sfxpkgtest::BuildArguments(inputs, kPassword, package, {"--level", level})).exitCode, 0u);

    // unzip takes the package as it is; the launcher image in front earns a warning (status 1).
    const auto unzipped = testsupport::RunTool(
        "/usr/bin/unzip", {"-P", kPassword, "-d", U8(scratch.Path() / "unzip"), U8(package)});
    EXPECT_LE(unzipped.exitCode, 1u) << unzipped.standardError;
    ExpectMembers(scratch.Path() / "unzip", inputs);

    // 7-Zip gets the archive alone, cut out where inspect says it lies: it is a whole zip file.
    const auto report = testsupport::JsonValue::Parse(sfxpkgtest::Sfxpkg({"inspect", "--json", U8(package)}).standardOutput);
    ASSERT_TRUE(report);
    const std::string bytes = testsupport::ReadFileBytes(package);
    const fs::path archive = scratch.Write(
        "archive.zip", bytes.substr((*report)["archive"]["offset"].Number(), (*report)["archive"]["size"].Number()));
    const auto sevenZip = testsupport::RunTool(
        "/usr/bin/7z", {"x", "-y", std::string("-p") + kPassword, "-o" + U8(scratch.Path() / "7z"), U8(archive)});
    EXPECT_EQ(sevenZip.exitCode, 0u) << sevenZip.standardOutput << sevenZip.standardError;
    ExpectMembers(scratch.Path() / "7z", inputs);
  }
}

}  // namespace
