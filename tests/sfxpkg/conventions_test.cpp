// The command-line conventions a package author expects: a version, help per command.
#include <gtest/gtest.h>

#include "sfxpkg_tool.h"
#include "support/scratch_folder.h"

namespace {

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
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const auto package = scratch.Path() / "Package.exe";
  ASSERT_EQ(sfxpkgtest::Sfxpkg(sfxpkgtest::BuildArguments(inputs, "pw", package)).exitCode, 0u);
  for (const char* name : {"1252", "cp1252", "Windows-1252", "utf-8", "UTF8", "65001"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(sfxpkgtest::Sfxpkg({"inspect", sfxpkgtest::U8(package), "--codepage", name}).exitCode, 0u);
  }
  const auto unknown = sfxpkgtest::Sfxpkg({"inspect", sfxpkgtest::U8(package), "--codepage", "cp932"});
  EXPECT_EQ(unknown.exitCode, 2u);
  EXPECT_NE(unknown.standardError.find("also as cp1252 or windows-1252"), std::string::npos) << unknown.standardError;
}

}  // namespace
