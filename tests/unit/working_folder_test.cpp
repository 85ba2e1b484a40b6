#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/working_folder.h"
#include "platform/platform.h"
#include "support/message_box_recorder.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

std::wstring Candidate(const testsupport::ScratchFolder& temp, int n) {
  return temp.WithSeparator() + L"KIVOTemp" + std::to_wstring(n) + platform::kPathSeparator;
}

TEST(WorkingFolder, ChoosesTheFirstFreeCandidate) {
  struct Case {
    const char* what;
    void (*prepare)(const fs::path& temp);
    int expected;
  };
  const Case cases[] = {
      {"nothing there", [](const fs::path&) {}, 0},
      {"an empty leftover is removed and chosen again", [](const fs::path& t) { fs::create_directory(t / "KIVOTemp0"); },
       0},
      {"a leftover with files is skipped",
       [](const fs::path& t) {
         fs::create_directory(t / "KIVOTemp0");
         std::ofstream(t / "KIVOTemp0" / "setup.dat") << "x";
       },
       1},
      {"a file of that name is skipped", [](const fs::path& t) { std::ofstream(t / "KIVOTemp0") << "x"; }, 1},
      {"gaps are filled from the bottom",
       [](const fs::path& t) {
         for (const char* name : {"KIVOTemp0", "KIVOTemp1", "KIVOTemp3"}) std::ofstream(t / name) << "x";
       },
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ScratchFolder temp;
    c.prepare(temp.Path());
    testsupport::TempDirectoryOverride tempDirectory(temp.Path().wstring());
    EXPECT_EQ(app::AllocateWorkingFolder(), Candidate(temp, c.expected));
  }
}

TEST(WorkingFolder, AddsOneSeparatorToTheTemporaryDirectory) {
  testsupport::ScratchFolder temp;
  for (const std::wstring& reported : {temp.Path().wstring(), temp.WithSeparator()}) {
    testsupport::TempDirectoryOverride tempDirectory(reported);
    const std::wstring folder = app::AllocateWorkingFolder();
    EXPECT_EQ(folder, Candidate(temp, 0));
    EXPECT_NE(folder.substr(folder.size() - 2), std::wstring(2, platform::kPathSeparator));
  }
}

TEST(WorkingFolder, CreatesTheFolderSilently) {
  testsupport::ScratchFolder temp;
  testsupport::TempDirectoryOverride tempDirectory(temp.Path().wstring());
  testsupport::MessageBoxRecorder boxes;
  const std::wstring folder = app::AllocateWorkingFolder();
  const app::StepOutcome created = app::CreateWorkingFolder(folder);
  EXPECT_FALSE(created.Failed());
  EXPECT_FALSE(created.box.has_value());
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(boxes.Boxes().empty());
#ifndef _WIN32
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
#endif
}

TEST(WorkingFolder, AllNamesTakenEndsWithThePrivilegesMessage) {
  testsupport::ScratchFolder temp;
  for (int n = 0; n < 200; ++n) {
    const fs::path folder = temp.Path() / ("KIVOTemp" + std::to_string(n));
    fs::create_directory(folder);
    std::ofstream(folder / "keep") << "x";
  }
  testsupport::TempDirectoryOverride tempDirectory(temp.Path().wstring());
  testsupport::MessageBoxRecorder boxes;

  const std::wstring folder = app::AllocateWorkingFolder();
  EXPECT_EQ(folder, temp.WithSeparator());
  const app::StepOutcome created = app::CreateWorkingFolder(folder);
  EXPECT_TRUE(created.Failed());
  ASSERT_TRUE(created.box.has_value());
  EXPECT_EQ(created.box->text, L"The installer has insufficient privileges to create this directory:\n" +
                                   temp.WithSeparator() + L".\nThe installation cannot continue.");
  EXPECT_FALSE(created.box->caption.has_value());
  EXPECT_EQ(created.box->style, testsupport::kStopBoxStyle);
  EXPECT_TRUE(boxes.Boxes().empty());  // the run shows it
  EXPECT_EQ(temp.Entries().size(), 200u);  // nothing removed, nothing added
}

TEST(WorkingFolder, AMissingTemporaryDirectoryCannotHoldTheFolder) {
  testsupport::ScratchFolder temp;
  const fs::path missing = temp.Path() / "gone";
  testsupport::TempDirectoryOverride tempDirectory(missing.wstring());
  testsupport::MessageBoxRecorder boxes;
  const std::wstring folder = app::AllocateWorkingFolder();
  const app::StepOutcome created = app::CreateWorkingFolder(folder);
  EXPECT_TRUE(created.Failed());
  ASSERT_TRUE(created.box.has_value());
  EXPECT_NE(created.box->text.find(L"KIVOTemp0"), std::wstring::npos);
}

}  // namespace
