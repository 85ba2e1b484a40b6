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

// The folder a run gets in temp, with the boxes it called for; nothing held afterwards.
struct Provided {
  std::wstring folder;
  app::StepOutcome outcome;
};
Provided Provide(const std::wstring& temp) {
  testsupport::TempDirectoryOverride tempDirectory(temp);
  testsupport::MessageBoxRecorder boxes;
  Provided provided;
  platform::FolderInUse inUse;
  provided.outcome = app::ProvideWorkingFolder(provided.folder, inUse);
  EXPECT_TRUE(boxes.Boxes().empty());  // the run shows them
  return provided;
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
    const Provided provided = Provide(temp.Path().wstring());
    EXPECT_FALSE(provided.outcome.Failed());
    EXPECT_EQ(provided.folder, Candidate(temp, c.expected));
    EXPECT_TRUE(fs::is_directory(provided.folder));
  }
}

TEST(WorkingFolder, AddsOneSeparatorToTheTemporaryDirectory) {
  testsupport::ScratchFolder temp;
  for (const std::wstring& reported : {temp.Path().wstring(), temp.WithSeparator()}) {
    const Provided provided = Provide(reported);
    EXPECT_EQ(provided.folder, Candidate(temp, 0));
    EXPECT_NE(provided.folder.substr(provided.folder.size() - 2), std::wstring(2, platform::kPathSeparator));
    fs::remove(provided.folder);
  }
}

TEST(WorkingFolder, TheFolderIsPrivateAndHeldAgainstOtherLaunchers) {
  testsupport::ScratchFolder temp;
  testsupport::TempDirectoryOverride tempDirectory(temp.Path().wstring());
  testsupport::MessageBoxRecorder boxes;
  std::wstring folder;
  platform::FolderInUse inUse;
  const app::StepOutcome provided = app::ProvideWorkingFolder(folder, inUse);
  EXPECT_FALSE(provided.Failed());
  EXPECT_FALSE(provided.box.has_value());
  EXPECT_TRUE(boxes.Boxes().empty());
#ifndef _WIN32
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
#endif
  // Empty while held, it is no leftover for the next launcher.
  EXPECT_FALSE(platform::RemoveLeftoverFolder(folder));
  EXPECT_FALSE(app::CheckWorkingFolder(inUse).Failed());
  EXPECT_EQ(Provide(temp.Path().wstring()).folder, Candidate(temp, 1));
  EXPECT_TRUE(inUse.RemoveAndRelease());
  EXPECT_FALSE(fs::exists(folder));
}

TEST(WorkingFolder, AllNamesTakenEndsWithThePrivilegesMessage) {
  testsupport::ScratchFolder temp;
  for (int n = 0; n < 200; ++n) {
    const fs::path folder = temp.Path() / ("KIVOTemp" + std::to_string(n));
    fs::create_directory(folder);
    std::ofstream(folder / "keep") << "x";
  }
  const Provided provided = Provide(temp.Path().wstring());
  EXPECT_TRUE(provided.outcome.Failed());
  EXPECT_EQ(provided.outcome.code, platform::kErrorAlreadyExists);
  ASSERT_TRUE(provided.outcome.box.has_value());
  EXPECT_EQ(provided.outcome.box->text, L"The installer has insufficient privileges to create this directory:\n" +
                                            temp.WithSeparator() + L".\nThe installation cannot continue.");
  EXPECT_FALSE(provided.outcome.box->caption.has_value());
  EXPECT_EQ(provided.outcome.box->style, testsupport::kStopBoxStyle);
  EXPECT_EQ(temp.Entries().size(), 200u);  // nothing removed, nothing added
}

TEST(WorkingFolder, AMissingTemporaryDirectoryCannotHoldTheFolder) {
  testsupport::ScratchFolder temp;
  const fs::path missing = temp.Path() / "gone";
  const Provided provided = Provide(missing.wstring());
  EXPECT_TRUE(provided.outcome.Failed());
  ASSERT_TRUE(provided.outcome.box.has_value());
  EXPECT_NE(provided.outcome.box->text.find(L"KIVOTemp0"), std::wstring::npos);
  EXPECT_FALSE(fs::exists(missing));
}

}  // namespace

namespace {

// On Windows the working folder takes none of the temporary directory's entries: an
// elevated run's Temp lets the user's unelevated processes in, C:\Windows\Temp every
// local user. Wine keeps no DACL that is set, so the descriptor itself is checked.
TEST(WorkingFolder, ItsDaclAdmitsTheUserAloneOrWithSystemAndAdministrators) {
  const std::wstring user = L"S-1-5-21-1004336348-1177238915-682003330-1001";
  const std::wstring admins = L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  const std::wstring highLabel = L"S:(ML;OICI;NW;;;HI)";
  struct Case {
    std::wstring sid;
    bool elevatedOrSystem, integrityLevels;
    std::wstring sddl;
  };
  const Case cases[] = {
      {user, false, true, L"D:P(A;OICI;FA;;;" + user + L")"},
      {user, false, false, L"D:P(A;OICI;FA;;;" + user + L")"},
      // Elevated: no unelevated process of the user may write in it.
      {user, true, true, L"D:P(A;OICI;FA;;;" + user + L")" + admins + highLabel},
      {L"S-1-5-18", true, true, L"D:P(A;OICI;FA;;;S-1-5-18)" + admins + highLabel},
      // Windows XP knows no labels; an administrator's process there is the elevated one.
      {user, true, false, L"D:P(A;OICI;FA;;;" + user + L")" + admins},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::PrivateFolderSddl(c.sid, c.elevatedOrSystem, c.integrityLevels), c.sddl);
  }
}

}  // namespace

namespace {

// On Windows the share mode of a held file keeps others out: planted cannot be
// renamed over it, and it cannot be opened for writing or deleted; it still holds
// bytes. POSIX holds nothing here (the held working folder keeps others out).
void ExpectKeptAsIs(const fs::path& file, const fs::path& planted, const std::string& bytes) {
#ifdef _WIN32
  std::error_code error;
  fs::rename(planted, file, error);
  EXPECT_TRUE(error) << "replaced while held";
  EXPECT_FALSE(std::ofstream(file, std::ios::app).is_open()) << "opened for writing while held";
  EXPECT_FALSE(fs::remove(file, error));
#else
  (void)planted;
#endif
  EXPECT_EQ(testsupport::ReadFileBytes(file), bytes);
}

// Once released, the file is anyone's again: planted takes its name.
void ExpectReplaceableOnceReleased(platform::HeldFiles& held, const fs::path& file, const fs::path& planted) {
  const std::string plantedBytes = testsupport::ReadFileBytes(planted);
  held.Release();
  fs::rename(planted, file);
  EXPECT_EQ(testsupport::ReadFileBytes(file), plantedBytes);
}

// What the engine will load and read stays as extracted until it has started: the
// user's other processes (an unelevated one, for an elevated run) can neither
// replace nor change nor delete it, while reading it stays open to all.
TEST(HeldFiles, NothingReplacesAHeldFileButEveryoneMayReadIt) {
  testsupport::ScratchFolder scratch;
  const fs::path file = scratch.Write("Setup_UI.dll", "extracted");
  const fs::path planted = scratch.Write("planted.dll", "planted");
  platform::HeldFiles held;
  ASSERT_TRUE(held.Hold(file.wstring()));
  EXPECT_EQ(testsupport::ReadFileBytes(file), "extracted");
  ExpectKeptAsIs(file, planted, "extracted");
  ExpectReplaceableOnceReleased(held, file, planted);
}

// A file the launcher writes goes from its writer into the hold: it is there, whole,
// readable by all, and nothing renames, changes or deletes it until released.
TEST(HeldFiles, AWrittenFileIsKeptWholeAndNothingReplacesIt) {
  testsupport::ScratchFolder scratch;
  const fs::path file = scratch.Path() / "setup.dat";
  const fs::path planted = scratch.Write("planted.dat", "planted");
  const std::string data = std::string(70000, 'd') + "end";  // written in two pieces
  platform::OutputFile out;
  ASSERT_TRUE(out.CreateNew(file.wstring()));
  size_t written = 0;
  ASSERT_TRUE(out.Write(data.data(), 100, written));
  ASSERT_TRUE(out.Write(data.data() + 100, data.size() - 100, written));
  platform::HeldFiles held;
  ASSERT_TRUE(held.Keep(out)) << platform::LastError();
  EXPECT_EQ(testsupport::ReadFileBytes(file), data);
  ExpectKeptAsIs(file, planted, data);
#ifdef _WIN32
  // A writer already closed has nothing to keep.
  EXPECT_FALSE(held.Keep(out));
  EXPECT_EQ(platform::LastError(), platform::kErrorInvalidHandle);
#endif
  ExpectReplaceableOnceReleased(held, file, planted);
}

// setup.cfg is held from its creation: the profile writes fill it by name, and then
// it is held read-only like the rest.
TEST(HeldFiles, AProfileFileIsHeldFromItsCreationWhileItIsWritten) {
  testsupport::ScratchFolder scratch;
  const fs::path file = scratch.Path() / "setup.cfg";
  const fs::path planted = scratch.Write("planted.cfg", "[Main]\r\nXParam1=planted\r\n");
  platform::HeldFiles held;
  ASSERT_TRUE(held.CreateForProfileWrites(file.wstring()));
  ASSERT_TRUE(platform::WriteProfileEntry(L"Main", L"XParam1", L"C:\\pkg\\Setup.exe", file.wstring()));
#ifdef _WIN32
  {
    std::error_code error;
    fs::rename(planted, file, error);
    EXPECT_TRUE(error) << "replaced while written";
    EXPECT_FALSE(fs::remove(file, error));
  }
#endif
  ASSERT_TRUE(platform::WriteProfileEntry(L"Main", L"Shell_Debug", L"0", file.wstring()));
  ASSERT_TRUE(held.Hold(file.wstring())) << platform::LastError();
  const std::string content = testsupport::ReadFileBytes(file);
  EXPECT_EQ(content, "[Main]\r\nXParam1=C:\\pkg\\Setup.exe\r\nShell_Debug=0\r\n");
#ifdef _WIN32
  EXPECT_FALSE(std::ofstream(file, std::ios::app).is_open()) << "opened for writing while held";
  EXPECT_FALSE(platform::WriteProfileEntry(L"Main", L"Shell_Debug", L"1", file.wstring()));
  EXPECT_EQ(testsupport::ReadFileBytes(file), content);
#endif
  held.Release();
}

}  // namespace
