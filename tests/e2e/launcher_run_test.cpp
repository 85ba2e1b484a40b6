// Whole runs of the built launcher, as a user starts it.
#include <gtest/gtest.h>

#include <fstream>

#include "package/package_trailer.h"
#include "support/launcher_package.h"
#include "support/process.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

struct LauncherSandbox {
  testsupport::ScratchFolder scratch;
  fs::path temp = scratch.Path() / "temp";
  LauncherSandbox() { fs::create_directories(temp); }

  testsupport::ProgramResult Start(const fs::path& package, const std::vector<std::wstring>& arguments = {}) {
    return testsupport::RunProgram(package, arguments,
                                   {{"TMPDIR", temp.wstring()}, {"TMP", temp.wstring()}, {"TEMP", temp.wstring()}});
  }
};

void ExpectBoxes(const testsupport::ProgramResult& result, const std::string& expected) {
  if (testsupport::BoxesOnStandardError()) {
    EXPECT_EQ(result.standardError, expected);
  }
}

TEST(LauncherRun, AFileWithoutMarkerIsCorrupt) {
  LauncherSandbox run;
  const fs::path package = testsupport::WritePackage(run.scratch.Path() / "Package.exe", "");
  const auto result = run.Start(package, {L"/silent"});
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u);
  ExpectBoxes(result, "Corrupt file!\n");
  EXPECT_TRUE(fs::is_empty(run.temp));
}

TEST(LauncherRun, AValidTrailerCreatesTheWorkingFolderSilently) {
  LauncherSandbox run;
  const fs::path package = testsupport::WritePackage(run.scratch.Path() / "Package.exe",
                                                     package::BuildPackageTrailer("secret", "", 1));
  // An empty leftover is taken over; one with files in it is left alone.
  fs::create_directories(run.temp / "KIVOTemp0");
  fs::create_directories(run.temp / "KIVOTemp1");
  std::ofstream(run.temp / "KIVOTemp1" / "engine.log") << "x";
  const auto result = run.Start(package);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u);
  ExpectBoxes(result, "");
  EXPECT_EQ(run.scratch.Entries("temp"), (std::vector<std::string>{"KIVOTemp1"}));
}

TEST(LauncherRun, AFolderThatCannotBeCreatedIsReported) {
  LauncherSandbox run;
  const fs::path package = testsupport::WritePackage(run.scratch.Path() / "Package.exe",
                                                     package::BuildPackageTrailer("secret", "", 1));
  const fs::path missing = run.scratch.Path() / "no such temp";
  const auto result = testsupport::RunProgram(
      package, {}, {{"TMPDIR", missing.wstring()}, {"TMP", missing.wstring()}, {"TEMP", missing.wstring()}});
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u);
  ExpectBoxes(result, "The installer has insufficient privileges to create this directory:\n" +
                          (missing / "KIVOTemp0").string() + "/.\nThe installation cannot continue.\n");
  EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
