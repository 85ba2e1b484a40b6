// The command-line conventions a package author expects: a version, help per command.
#include <gtest/gtest.h>

#include "sfxpkg_tool.h"

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

}  // namespace
