// Whole runs of launcher.exe under Wine as a person meets them: the real message
// boxes on the screen (caption, text, icon, order), the exit status, and what is
// left in the temporary directory.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>

#include "observed_boxes.h"
#include "package/package_trailer.h"
#include "support/launcher_package.h"

namespace fs = std::filesystem;
using testsupport::LauncherSandbox;
using testsupport::PackageContent;

namespace windowstest {
namespace {

constexpr char kPassword[] = "Pa55-word";

std::string GoodPayload(const PackageContent& content) { return testsupport::PackagePayload(content, kPassword); }


TEST(LauncherBoxes, AFileWithoutMarkerIsCorrupt) {
  LauncherSandbox box;
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe", "");
  const auto result = box.Start(package);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 1620u);
  EXPECT_EQ(result.boxes, std::vector<ObservedBox>{CorruptFileBox()});
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST(LauncherBoxes, AFolderThatCannotBeCreatedIsNamedInTheBox) {
  LauncherSandbox box;
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe", GoodPayload({}));
  const fs::path missing = box.Scratch().Path() / "no such temp";
  const auto result = box.Start(package, {}, {{"TMP", missing.wstring()}, {"TEMP", missing.wstring()}});
  EXPECT_EQ(result.exitCode, 3u);  // ERROR_PATH_NOT_FOUND
  EXPECT_EQ(result.boxes,
            std::vector<ObservedBox>{Box(L"Error",
                                         L"The installer has insufficient privileges to create this directory:\n" +
                                             missing.wstring() + L"\\KIVOTemp0\\.\nThe installation cannot continue.",
                                         BoxIcon::kStop)});
  EXPECT_FALSE(fs::exists(missing));
}

TEST(LauncherBoxes, AnArchiveThatCannotBeOpenedLeavesTheEmptyFolder) {
  LauncherSandbox box;
  const fs::path package =
      testsupport::WritePackage(box.Scratch().Path() / "Package.exe", package::BuildPackageTrailer(kPassword, "", 1));
  const auto result = box.Start(package);
  EXPECT_EQ(result.exitCode, 1620u);
  // No system call failed: opening the file left the last error at 0, shown as 1.
  EXPECT_EQ(result.boxes,
            (std::vector<ObservedBox>{FatalErrorBox(L"Package", L"Corrupt archive!", 1), CorruptFileBox()}));
  EXPECT_EQ(box.TempEntries(), std::vector<std::string>{"KIVOTemp0"});
  EXPECT_TRUE(box.TempEntries("KIVOTemp0").empty());
}

TEST(LauncherBoxes, APackageHeldOpenForWritingDoesNotStart) {
  // A download still being written, or a scanner holding the file for writing: the
  // system does not start an image that is open for writing (and a running one
  // cannot be opened so), so the launcher never meets its own file in that state.
  LauncherSandbox box;
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe",
                                                     GoodPayload(testsupport::ContentWithTestEngine()));
  HANDLE writer = CreateFileW(package.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  const auto result = box.Start(package);
  CloseHandle(writer);
  EXPECT_FALSE(result.started);
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST(LauncherBoxes, FailedExtractionsShowTheirBoxesThenCorruptFile) {
  struct Case {
    const char* what;
    std::wstring packageName;
    std::function<std::string(const PackageContent&)> payload;
    std::vector<ObservedBox> boxes;
  };
  // A new output file leaves the last error at 0, which the report shows as 1.
  const ObservedBox unreadable = FatalErrorBox(L"Package", L"Corrupt archive!", 1);
  const std::vector<Case> cases = {
      {"member A3 missing",
       L"Package.exe",
       [](const PackageContent& c) {
         auto members = testsupport::PackageMembers(c, kPassword);
         members.erase(members.begin() + 2);
         return testsupport::PackagePayload(members, kPassword);
       },
       {CorruptFileBox()}},
      {"a wrong password",
       L"Package.exe",
       [](const PackageContent& c) {
         return testsupport::PackagePayload(testsupport::PackageMembers(c, kPassword), "not the password");
       },
       {unreadable, unreadable, unreadable, unreadable, CorruptFileBox()}},
      {"A3 packed with a method the zip library lacks",
       L"Package.exe",
       [](const PackageContent& c) {
         return testsupport::WithEntryField(testsupport::ZipBytes(testsupport::PackageMembers(c, kPassword)), "A3",
                                            testsupport::EntryField::kMethod, 14) +
                package::BuildPackageTrailer(kPassword, "", 1);
       },
       {FatalErrorBox(L"Package", L"Passwort scheint fehlerhaft.", 1), CorruptFileBox()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LauncherSandbox box;
    const fs::path package = testsupport::WritePackage(box.Scratch().Path() / c.packageName,
                                                       c.payload(testsupport::ContentWithTestEngine()));
    const auto result = box.Start(package);
    EXPECT_EQ(result.exitCode, 1620u);
    EXPECT_EQ(result.boxes, c.boxes);
    EXPECT_TRUE(box.TempEntries().empty());
    EXPECT_FALSE(fs::exists(box.Report()));  // the engine never ran
  }
}

TEST(LauncherBoxes, TheEnginesExitCodeDecidesWhetherTheFolderStays) {
  struct Case {
    uint32_t exitCode;
    bool keeps;
  };
  for (const Case& c : {Case{0, true}, Case{1641, true}, Case{3010, true}, Case{5, false}, Case{1602, false}}) {
    SCOPED_TRACE(c.exitCode);
    LauncherSandbox box;
    const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe",
                                                       GoodPayload(testsupport::ContentWithTestEngine()));
    const auto result = box.Start(package, {}, {{"SFX_TEST_EXIT", std::to_wstring(c.exitCode)}});
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_TRUE(fs::exists(box.Report() / "report.txt"));  // the engine did run
    if (c.keeps) {
      EXPECT_EQ(box.TempEntries("KIVOTemp0"), testsupport::kFiveFiles);
    } else {
      EXPECT_TRUE(box.TempEntries().empty());
    }
  }
}

// The extraction works in the ANSI code page (1252 in the prefix). A name with
// characters it lacks is never bent to a look-alike (the division slash to "/",
// omega to "O"): the engine goes under the name with "_" in their place, and is
// extracted, started and cleaned up under that one name.
TEST(LauncherBoxes, PackageNamesOutsideTheCodePageRunTheirEngine) {
  struct Case {
    std::wstring packageName;
    std::wstring engineName;
  };
  const Case cases[] = {{L"Setup-\u03A9 4.2.exe", L"Setup-_ 4.2.exe"}, {L"Setup 1\u22152.exe", L"Setup 1_2.exe"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testsupport::Utf8(c.packageName));
    LauncherSandbox box;
    const auto content = testsupport::ContentWithTestEngine();
    const fs::path package = testsupport::WritePackage(box.Scratch().Path() / c.packageName, GoodPayload(content));
    const auto result = box.Start(package, {L"/silent"}, {{"SFX_TEST_EXIT", L"1602"}});
    EXPECT_EQ(result.exitCode, 1602u);
    EXPECT_TRUE(result.boxes.empty());
    const std::string report = testsupport::ReadFileBytes(box.Report() / "report.txt");
    EXPECT_EQ(testsupport::ValueOf(report, "self"), (box.WorkingFolder() / c.engineName).u8string());
    EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / c.engineName) == content.engine);
    EXPECT_TRUE(fs::exists(box.Report() / "setup.cfg"));
    EXPECT_TRUE(box.TempEntries().empty());  // 1602: everything went
  }
}

// A user whose temporary directory has letters outside the code page: its long
// path cannot reach the extraction, its short (8.3) path can. A folder of the
// best-fit spelling beside it must never be written to.
TEST(LauncherBoxes, ATemporaryDirectoryOutsideTheCodePageIsUsedThroughItsShortPath) {
  LauncherSandbox box;
  const auto content = testsupport::ContentWithTestEngine();
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe", GoodPayload(content));
  const fs::path temp = box.Scratch().Path() / L"T\u0119mp \u0141ukasz";
  const fs::path lookAlike = box.Scratch().Path() / L"Temp Lukasz";
  fs::create_directories(temp);
  fs::create_directories(lookAlike);
  const std::map<std::string, std::wstring> environment = {{"TMP", temp.wstring()}, {"TEMP", temp.wstring()}};

  const auto kept = box.Start(package, {}, environment);
  EXPECT_TRUE(kept.boxes.empty());
  const std::string report = testsupport::ReadFileBytes(box.Report() / "report.txt");
  EXPECT_EQ(testsupport::ValueOf(report, "cwd"), (temp / "KIVOTemp0").u8string());
  EXPECT_EQ(box.TempEntries(), std::vector<std::string>{});  // the sandbox's own temp is not used
  EXPECT_EQ(std::distance(fs::directory_iterator(temp / "KIVOTemp0"), fs::directory_iterator()), 5);
  EXPECT_EQ(testsupport::ReadFileBytes(temp / "KIVOTemp0" / "setup.dat"), content.data);

  auto environmentFailing = environment;
  environmentFailing["SFX_TEST_EXIT"] = L"1602";
  const auto cleaned = box.Start(package, {}, environmentFailing);
  EXPECT_TRUE(cleaned.boxes.empty());
  EXPECT_FALSE(fs::exists(temp / "KIVOTemp1"));  // the second run's folder went with its files
  EXPECT_TRUE(fs::is_empty(lookAlike));
}

TEST(LauncherBoxes, RenamedPackagesAndFoldersWithSpacesAndAccents) {
  struct Case {
    const char* what;
    std::wstring folder;  // where the package lies, in the scratch folder
    std::wstring name;
    std::wstring temp;  // the temporary directory, in the scratch folder
  };
  // Every character here is in code page 1252, the ANSI code page of the prefix.
  const Case cases[] = {
      {"renamed", L"Downloads", L"Setup (2).exe", L"temp"},
      {"in a folder with spaces and accents", L"Dow\u00F1loads \u00F6", L"Package.exe", L"temp"},
      {"accents in its name and in the temporary directory", L"Downloads", L"Paket f\u00FCr J\u00FCrgen.exe",
       L"T\u00EBmp \u00FC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LauncherSandbox box;
    const auto content = testsupport::ContentWithTestEngine();
    const fs::path package = testsupport::WritePackage(box.Scratch().Path() / c.folder / c.name, GoodPayload(content));
    const fs::path temp = box.Scratch().Path() / c.temp;
    fs::create_directories(temp);
    const auto result = box.Start(package, {}, {{"TMP", temp.wstring()}, {"TEMP", temp.wstring()}});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.boxes.empty());

    // The engine ran under the package's name in the working folder and found everything.
    const fs::path working = temp / "KIVOTemp0";
    const std::string report = testsupport::ReadFileBytes(box.Report() / "report.txt");
    EXPECT_EQ(testsupport::ValueOf(report, "self"), (working / c.name).u8string());
    EXPECT_EQ(testsupport::ReadFileBytes(working / c.name), content.engine);
    EXPECT_EQ(testsupport::ReadFileBytes(working / "setup.dat"), content.data);
    EXPECT_EQ(std::distance(fs::directory_iterator(working), fs::directory_iterator()), 5);
    // The settings file is written in the ANSI code page; the path reads back whole.
    EXPECT_EQ(testsupport::ValueOf(testsupport::ReadFileBytes(working / "setup.cfg"), "XParam1"), platform::ToAnsi(package.wstring()));
  }
}

}  // namespace
}  // namespace windowstest
