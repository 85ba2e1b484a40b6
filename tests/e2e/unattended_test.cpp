// What a deployment tool sees of each way a run can end: the exit status, and in a
// silent run no box at all, only the log's lines.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "package/package_trailer.h"
#include "support/launcher_package.h"

namespace fs = std::filesystem;
using testsupport::ExpectedBox;
using testsupport::LauncherSandbox;

namespace {

constexpr char kPassword[] = "unattended-pw";

enum class Left { kNothing, kFiveFiles, kEmptyFolder };

struct Outcome {
  const char* what;
  std::function<std::string()> payload;  // what follows the launcher image
  std::map<std::string, std::wstring> environment;
  uint32_t windows, posix;  // the exit status in each build
  std::vector<ExpectedBox> boxes;  // those of an interactive run
  Left left;
  bool onWindows = true, onPosix = true;
};

std::string GoodPayload() {
  return testsupport::PackagePayload(testsupport::ContentWithTestEngine(), kPassword);
}

std::string PayloadWithout(size_t member) {
  auto members = testsupport::PackageMembers(testsupport::ContentWithTestEngine(), kPassword);
  members.erase(members.begin() + static_cast<std::ptrdiff_t>(member));
  return testsupport::PackagePayload(members, kPassword);
}

std::vector<Outcome> Outcomes(const fs::path& missingTemp) {
  const ExpectedBox corruptArchive =
      testsupport::FatalErrorBox("Package", L"Corrupt archive!", testsupport::kLastErrorAfterZipFailure);
  const auto engineExit = [](const wchar_t* code) { return std::map<std::string, std::wstring>{{"SFX_TEST_EXIT", code}}; };
  return {
      {"the engine succeeds", GoodPayload, engineExit(L"0"), 0, 0, {}, Left::kFiveFiles},
      {"the engine needs a reboot", GoodPayload, engineExit(L"3010"), 3010, 0, {}, Left::kFiveFiles, true, false},
      {"the engine started a reboot", GoodPayload, engineExit(L"1641"), 1641, 0, {}, Left::kFiveFiles, true, false},
      {"the user cancelled the engine", GoodPayload, engineExit(L"1602"), 1602, 0, {}, Left::kNothing, true, false},
      {"the engine failed", GoodPayload, engineExit(L"1603"), 1603, 0, {}, Left::kNothing, true, false},
      {"the engine failed with 8 bits", GoodPayload, engineExit(L"200"), 200, 200, {}, Left::kNothing},
      {"the engine crashed", GoodPayload, {{"SFX_TEST_CRASH", L"1"}}, 0xC0000005u, 128 + 9, {}, Left::kNothing},
      // Interactive, the Windows shell says so in a box of its own.
      {"the engine is no program",
       [] { return testsupport::PackagePayload(testsupport::PackageContent{}, kPassword); }, {}, 193, 71, {},
       Left::kNothing},
      {"no package marker", [] { return std::string(); }, {}, 1620, 65, {testsupport::CorruptFileBox()},
       Left::kNothing},
      {"the archive cannot be opened", [] { return package::BuildPackageTrailer(kPassword, "", 1); }, {}, 1620, 65,
       {corruptArchive, testsupport::CorruptFileBox()}, Left::kEmptyFolder},
      {"a wrong password",
       [] {
         return testsupport::PackagePayload(testsupport::PackageMembers(testsupport::ContentWithTestEngine(), kPassword),
                                            "not the password");
       },
       {}, 1620, 65, {corruptArchive, corruptArchive, corruptArchive, corruptArchive, testsupport::CorruptFileBox()},
       Left::kNothing},
      {"member A4 missing", [] { return PayloadWithout(3); }, {}, 1620, 65, {testsupport::CorruptFileBox()},
       Left::kNothing},
      {"the working folder cannot be created", GoodPayload,
       {{"TMPDIR", missingTemp.wstring()}, {"TMP", missingTemp.wstring()}, {"TEMP", missingTemp.wstring()}}, 3, 73,
       {testsupport::FolderNotCreatedBox(missingTemp / "KIVOTemp0")}, Left::kNothing},
  };
}

TEST(Unattended, EveryOutcomeInteractiveAndSilent) {
  const bool windows = !testsupport::BoxesOnStandardError();
  LauncherSandbox names;  // only for the name of a temporary directory that never exists
  for (const Outcome& c : Outcomes(names.Scratch().Path() / "no such temp")) {
    if (!(windows ? c.onWindows : c.onPosix)) continue;
    for (const bool silent : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (silent ? ", silent" : ", interactive"));
      if (!silent && windows && std::string(c.what) == "the engine is no program") continue;  // the shell's box
      LauncherSandbox box;
      const fs::path log = box.Scratch().Path() / "logs" / "setup.log";
      const std::vector<std::wstring> arguments =
          silent ? std::vector<std::wstring>{L"/silent", L"/logfile", log.wstring()} : std::vector<std::wstring>{};
      const auto result =
          box.Start(testsupport::WritePackage(box.Scratch().Path() / "Package.exe", c.payload()), arguments,
                    c.environment);
      ASSERT_TRUE(result.started);
      EXPECT_FALSE(result.timedOut);  // nothing waited for a click
      EXPECT_EQ(result.exitCode, windows ? c.windows : c.posix);
      testsupport::ExpectBoxes(result, silent ? std::vector<ExpectedBox>{} : c.boxes);
      testsupport::ExpectLogLines(log, silent ? c.boxes : std::vector<ExpectedBox>{});
      switch (c.left) {
        case Left::kNothing:
          EXPECT_TRUE(box.TempEntries().empty());
          break;
        case Left::kFiveFiles:
          EXPECT_EQ(box.TempEntries("KIVOTemp0"), testsupport::kFiveFiles);
          break;
        case Left::kEmptyFolder:
          EXPECT_EQ(box.TempEntries(), std::vector<std::string>{"KIVOTemp0"});
          EXPECT_TRUE(box.TempEntries("KIVOTemp0").empty());
          break;
      }
    }
  }
}

// "/silent 0" is how a script switches silence off: the boxes are back.
TEST(Unattended, SilentZeroIsAnInteractiveRun) {
  LauncherSandbox box;
  const auto result = box.Start(testsupport::WritePackage(box.Scratch().Path() / "Package.exe", ""),
                                {L"-SILENT", L"0"});
  EXPECT_EQ(result.exitCode, testsupport::ExitStatus(1620, 65));
  testsupport::ExpectBoxes(result, {testsupport::CorruptFileBox()});
}

// A log that cannot be written changes nothing else: the run ends as it would.
TEST(Unattended, ALogThatCannotBeWrittenChangesNothing) {
  LauncherSandbox box;
  const fs::path blocker = box.Scratch().Write("blocker", "a file where the log's folder would be");
  const auto result = box.Start(testsupport::WritePackage(box.Scratch().Path() / "Package.exe", ""),
                                {L"/silent", L"/logfile", (blocker / "setup.log").wstring()});
  EXPECT_EQ(result.exitCode, testsupport::ExitStatus(1620, 65));
  testsupport::ExpectBoxes(result, {});
  EXPECT_EQ(testsupport::ReadFileBytes(blocker), "a file where the log's folder would be");
}

// Lines of later runs are added, never written over.
TEST(Unattended, TheLogGrows) {
  LauncherSandbox box;
  const fs::path log = box.Scratch().Path() / "setup.log";
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe", "");
  for (int run = 0; run < 2; ++run) box.Start(package, {L"/silent", L"/logfile", log.wstring()});
  testsupport::ExpectLogLines(log, {testsupport::CorruptFileBox(), testsupport::CorruptFileBox()});
}

}  // namespace
