// Whole runs of the built launcher, as a user starts it: packages made of the real
// launcher image, a real encrypted archive and a trailer, with a test setup engine.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "package/package_trailer.h"
#include "platform/platform.h"
#include "support/launcher_package.h"

namespace fs = std::filesystem;
using testsupport::LauncherSandbox;

namespace {

constexpr char kPassword[] = "Pa55-word";

TEST(LauncherRun, AFileWithoutMarkerIsCorrupt) {
  LauncherSandbox box;
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe", "");
  const auto result = box.Start(package);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, testsupport::ExitStatus(1620, 65));
  testsupport::ExpectBoxes(result, {testsupport::CorruptFileBox()});
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST(LauncherRun, TheTypicalRunHandsOverToTheEngine) {
  LauncherSandbox box;
  const auto content = testsupport::ContentWithTestEngine();
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Downloads folder" / "Package.exe",
                                                     testsupport::PackagePayload(content, kPassword));
  const std::wstring log = (box.Scratch().Path() / "Logs" / "setup.log").wstring();
  // 3010: success, reboot required. A POSIX exit status holds only 8 bits, so there 0.
  const std::wstring exitCode = testsupport::BoxesOnStandardError() ? L"0" : L"3010";

  const auto result = box.Start(package, {L"/silent", L"/logfile", log}, {{"SFX_TEST_EXIT", exitCode}});
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, testsupport::ExitStatus(3010, 0));  // the engine's own
  testsupport::ExpectBoxes(result, {});
  testsupport::ExpectLogLines(log, {});  // the launcher had nothing to say

  // The engine ran in the working folder, under the package's name, with no arguments.
  const std::string report = testsupport::ReadFileBytes(box.Report() / "report.txt");
  EXPECT_EQ(testsupport::ValueOf(report, "cwd"), box.WorkingFolder().u8string());
  EXPECT_EQ(testsupport::ValueOf(report, "self"), (box.WorkingFolder() / "Package.exe").u8string());
  EXPECT_EQ(testsupport::ValueOf(report, "arguments"), "0");
  // It found the four members byte for byte and the settings file beside it...
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "setup.dat"), content.data);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Package.exe"), content.engine);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Setup_UI.dll"), content.ui);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "Setup_Exp.dll"), content.exp);
  const std::string commandLine = testsupport::Utf8(platform::QuoteArgument(package.wstring())) + " /silent /logfile " +
                                  testsupport::Utf8(platform::QuoteArgument(log));
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "setup.cfg"),
            "[Main]\r\n"
            "XParam1=" + package.u8string() + "\r\n"
            "Shell_CommandLine=" + commandLine + "\r\n"
            "Shell_Logfile=" + testsupport::Utf8(log) + "\r\n"
            "Shell_Slient=1\r\n"
            "Shell_Debug=0\r\n"
            "Shell_Uninstall=0\r\n"
            "Shell_Repair=0\r\n"
            "Shell_ZBT_UpdateTest=0\r\n");
  // ...and all five stay after a successful setup.
  EXPECT_EQ(box.TempEntries(), std::vector<std::string>{"KIVOTemp0"});
  EXPECT_EQ(box.TempEntries("KIVOTemp0"), testsupport::kFiveFiles);
}


// A package with the test engine in a scratch folder, and its sandbox.
struct EnginePackage {
  LauncherSandbox box;
  testsupport::PackageContent content = testsupport::ContentWithTestEngine();
  fs::path Write(const std::string& name = "Package.exe") {
    return testsupport::WritePackage(box.Scratch().Path() / name,
                                     testsupport::PackagePayload(content, kPassword));
  }
};

TEST(LauncherRun, TheEnginesExitCodeDecidesWhetherTheFolderStays) {
  struct Case {
    uint32_t exitCode;
    bool keeps;
  };
  // A POSIX exit status holds only 8 bits: 1641, 1602 and 3010 cannot be told there.
  const std::vector<Case> cases = testsupport::BoxesOnStandardError()
                                      ? std::vector<Case>{{0, true}, {5, false}, {66, false}, {255, false}}
                                      : std::vector<Case>{{0, true}, {1641, true}, {3010, true}, {5, false},
                                                          {1223, false}, {1602, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exitCode);
    EnginePackage run;
    const auto result = run.box.Start(run.Write(), {}, {{"SFX_TEST_EXIT", std::to_wstring(c.exitCode)}});
    EXPECT_EQ(result.exitCode, c.exitCode);  // passed on
    testsupport::ExpectBoxes(result, {});  // no message either way
    EXPECT_TRUE(fs::exists(run.box.Report() / "report.txt"));  // the engine did run
    if (c.keeps) {
      EXPECT_EQ(run.box.TempEntries("KIVOTemp0"), testsupport::kFiveFiles);
    } else {
      EXPECT_TRUE(run.box.TempEntries().empty());
    }
  }
}

// An engine reads setup.cfg through the profile API, whose reader drops quotation
// marks that enclose a whole value: a command line that starts with the quoted
// package path and ends with a quoted argument, and values in quotes, must still
// reach it exactly as the launcher got them.
TEST(LauncherRun, QuotedValuesReachAnEngineThatReadsThroughTheProfileApi) {
  EnginePackage run;
  const fs::path package = run.Write("My Package.exe");
  const std::wstring log = (run.box.Scratch().Path() / "my logs" / "x.log").wstring();
  const std::vector<std::wstring> arguments = {L"/language", L"'quoted'", L"/textctrl1", L"\"",
                                               L"/textctrl2", L"\"\"", L"/logfile", log};
  const auto result = run.box.Start(package, arguments);
  EXPECT_EQ(result.exitCode, 0u);
  std::string commandLine = testsupport::Utf8(platform::QuoteArgument(package.wstring()));
  for (const std::wstring& argument : arguments) commandLine += " " + testsupport::Utf8(platform::QuoteArgument(argument));
  ASSERT_EQ(commandLine.front(), '"');
  ASSERT_EQ(commandLine.back(), '"');
  struct Expected {
    const char* key;
    std::string value;
  };
  const Expected expected[] = {{"XParam1", package.u8string()},       {"Shell_CommandLine", commandLine},
                               {"Shell_Logfile", testsupport::Utf8(log)}, {"Shell_Language", "'quoted'"},
                               {"Shell_TextWnd1", "\""},                   {"Shell_TextWnd2", "\"\""}};
  const std::string settings = testsupport::ReadFileBytes(run.box.Report() / "setup.cfg");
  const std::string report = testsupport::ReadFileBytes(run.box.Report() / "report.txt");
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.key);
    EXPECT_EQ(testsupport::ProfileValue(settings, e.key), e.value);
    // The engine's own reading, where it has the profile API.
    if (!testsupport::BoxesOnStandardError()) {
      EXPECT_EQ(testsupport::ValueOf(report, std::string("profile.") + e.key), e.value);
    }
  }
  // As written: enclosed values in one more pair; the others byte for byte.
  EXPECT_EQ(testsupport::ValueOf(settings, "Shell_CommandLine"), "\"" + commandLine + "\"");
  EXPECT_EQ(testsupport::ValueOf(settings, "Shell_Language"), "\"'quoted'\"");
  EXPECT_EQ(testsupport::ValueOf(settings, "Shell_TextWnd1"), "\"");
  EXPECT_EQ(testsupport::ValueOf(settings, "Shell_TextWnd2"), "\"\"\"\"");
  EXPECT_EQ(testsupport::ValueOf(settings, "XParam1"), package.u8string());
}

TEST(LauncherRun, ARenamedPackageRunsItsEngineUnderTheNewName) {
  EnginePackage run;
  const auto result = run.box.Start(run.Write("My Setup (2).exe"));
  EXPECT_EQ(result.exitCode, 0u);
  const std::string report = testsupport::ReadFileBytes(run.box.Report() / "report.txt");
  EXPECT_EQ(testsupport::ValueOf(report, "self"), (run.box.WorkingFolder() / "My Setup (2).exe").u8string());
  EXPECT_EQ(testsupport::ReadFileBytes(run.box.WorkingFolder() / "My Setup (2).exe"), run.content.engine);
}

TEST(LauncherRun, FilesTheEngineLeavesKeepTheFolderAfterAFailure) {
  EnginePackage run;
  const auto result = run.box.Start(run.Write(), {}, {{"SFX_TEST_EXIT", L"5"}, {"SFX_TEST_LEAVE", L"engine.log"}});
  EXPECT_EQ(result.exitCode, 5u);
  testsupport::ExpectBoxes(result, {});
  EXPECT_EQ(run.box.TempEntries("KIVOTemp0"), std::vector<std::string>{"engine.log"});
}

TEST(LauncherRun, AnEngineThatCrashesIsCleanedUpSilently) {
  EnginePackage run;
  const auto result = run.box.Start(run.Write(), {}, {{"SFX_TEST_CRASH", L"1"}});
  // The crash as the system reports it: an access violation; a killed program's 128 + 9.
  EXPECT_EQ(result.exitCode, testsupport::ExitStatus(0xC0000005u, 128u + 9u));
  testsupport::ExpectBoxes(result, {});
  EXPECT_TRUE(run.box.TempEntries().empty());
}

TEST(LauncherRun, LeftoversOfEarlierRuns) {
  EnginePackage run;
  fs::create_directories(run.box.WorkingFolder(0));                    // empty: taken over
  fs::create_directories(run.box.WorkingFolder(1));
  std::ofstream(run.box.WorkingFolder(1) / "engine.log") << "old";    // still in use: skipped
  fs::remove(run.box.WorkingFolder(0));
  fs::create_directories(run.box.WorkingFolder(0) / "sub");            // not empty either
  const auto result = run.box.Start(run.Write());
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(run.box.TempEntries(), (std::vector<std::string>{"KIVOTemp0", "KIVOTemp1", "KIVOTemp2"}));
  EXPECT_EQ(run.box.TempEntries("KIVOTemp2"), testsupport::kFiveFiles);
}

TEST(LauncherRun, AFailedExtractionLeavesNothingBehind) {
  struct Case {
    const char* what;
    std::function<std::string(const testsupport::PackageContent&)> zip;
    std::string trailerPassword;
    std::vector<testsupport::ExpectedBox> boxes;
  };
  const auto corruptArchive =
      testsupport::FatalErrorBox("Package", L"Corrupt archive!", testsupport::kLastErrorAfterZipFailure);
  const Case cases[] = {
      {"member A3 missing",
       [](const testsupport::PackageContent& c) {
         auto members = testsupport::PackageMembers(c, kPassword);
         members.erase(members.begin() + 2);
         return testsupport::ZipBytes(members);
       },
       kPassword, {testsupport::CorruptFileBox()}},
      {"a wrong password",
       [](const testsupport::PackageContent& c) { return testsupport::ZipBytes(testsupport::PackageMembers(c, kPassword)); },
       "not the password",
       {corruptArchive, corruptArchive, corruptArchive, corruptArchive, testsupport::CorruptFileBox()}},
      // The zip library hands a bzip2 member on undecoded (here the stored engine
      // with the cipher's 12-byte header in front) and checks no CRC: a damaged
      // engine must never start.
      {"the engine stored under bzip2's method, its CRC wrong",
       [](const testsupport::PackageContent& c) {
         using testsupport::EntryField;
         std::string zip = testsupport::ZipBytes(testsupport::PackageMembers(c, kPassword, 0));
         zip = testsupport::WithEntryField(zip, "A1", EntryField::kMethod, 12);
         zip = testsupport::WithEntryField(zip, "A1", EntryField::kSize, static_cast<uint32_t>(c.engine.size() + 12));
         return testsupport::WithEntryField(zip, "A1", EntryField::kCrc, 0x12345678);
       },
       kPassword,
       {testsupport::FatalErrorBox("Package", L"Passwort scheint fehlerhaft.", testsupport::kLastErrorAfterZipFailure),
        testsupport::CorruptFileBox()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LauncherSandbox box;
    const auto content = testsupport::ContentWithTestEngine();
    const fs::path package = testsupport::WritePackage(
        box.Scratch().Path() / "Package.exe",
        c.zip(content) + package::BuildPackageTrailer(c.trailerPassword, "", 1));
    const auto result = box.Start(package);
    EXPECT_EQ(result.exitCode, testsupport::ExitStatus(1620, 65));
    testsupport::ExpectBoxes(result, c.boxes);
    EXPECT_TRUE(box.TempEntries().empty());
    EXPECT_FALSE(fs::exists(box.Report()));  // the engine never ran
  }
}

TEST(LauncherRun, ArchivesOfOtherToolsExtractByteForByte) {
  const fs::path members = testsupport::ProgramFolder() / "fixtures" / "infozip";
  // Directly behind the marker, and behind 21 KB of alignment and signature bytes.
  for (const char* peer : {testsupport::kInfoZipArchive, testsupport::kInfoZipZip64Archive,
                           testsupport::kInfoZipStreamedArchive, testsupport::kSevenZipArchive}) {
    for (const std::string& tail : {std::string(), std::string(3, '\0') + std::string(21024, '\x30')}) {
      SCOPED_TRACE(std::string(peer) + (tail.empty() ? "" : ", signed"));
      const std::string archive = testsupport::PeerArchive(peer);
      ASSERT_FALSE(archive.empty());
      LauncherSandbox box;
      const fs::path package = testsupport::WritePackage(
          box.Scratch().Path() / "Package.exe",
          archive + package::BuildPackageTrailer(testsupport::kInfoZipPassword, "", 1) + tail);
      const auto result = box.Start(package);
      EXPECT_EQ(result.exitCode, 0u);
      testsupport::ExpectBoxes(result, {});
      EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / "setup.dat") == testsupport::ReadFileBytes(members / "A0")) << "setup.dat";
      EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / "Package.exe") == testsupport::ReadFileBytes(members / "A1")) << "Package.exe";
      EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / "Setup_UI.dll") == testsupport::ReadFileBytes(members / "A3")) << "Setup_UI.dll";
      EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / "Setup_Exp.dll") == testsupport::ReadFileBytes(members / "A4")) << "Setup_Exp.dll";
    }
  }
}

TEST(LauncherRun, NothingBehindTheMarkerDecidesTheRun) {
  const auto content = testsupport::ContentWithTestEngine();
  // Whoever can append to a package knows its password: it lies in the trailer. The
  // archive library would take the end record nearest the end of the file.
  const std::string plantedArchive = testsupport::ZipBytes({testsupport::Member("A0", "planted data", kPassword)});
  const std::string trailer = package::BuildPackageTrailer(kPassword, "", 1);
  struct Case {
    const char* what;
    std::string behind;
  };
  const Case cases[] = {
      {"an archive", plantedArchive},
      // The package's own marker is still the one farthest from the end in the window.
      {"an archive, a trailer and a marker", plantedArchive + trailer + std::string(8, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LauncherSandbox box;
    const fs::path package = testsupport::WritePackage(
        box.Scratch().Path() / "Package.exe", testsupport::PackagePayload(content, kPassword) + c.behind);
    const auto result = box.Start(package);
    EXPECT_EQ(result.exitCode, 0u);
    testsupport::ExpectBoxes(result, {});
    EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / "setup.dat") == content.data);
  }
}

TEST(LauncherRun, AFolderThatCannotBeCreatedIsReported) {
  LauncherSandbox box;
  const fs::path package =
      testsupport::WritePackage(box.Scratch().Path() / "Package.exe", package::BuildPackageTrailer(kPassword, "", 1));
  const fs::path missing = box.Scratch().Path() / "no such temp";
  const auto result = testsupport::RunProgram(
      package, {}, {{"TMPDIR", missing.wstring()}, {"TMP", missing.wstring()}, {"TEMP", missing.wstring()}});
  EXPECT_EQ(result.exitCode, testsupport::ExitStatus(3, 73));  // Windows: the path was not found
  testsupport::ExpectBoxes(result, {testsupport::FolderNotCreatedBox(missing / "KIVOTemp0")});
  EXPECT_FALSE(fs::exists(missing));
}

TEST(LauncherRun, LineBreaksInValuesStartNoSettingOfTheirOwn) {
  // Whoever names the package or writes the command line could otherwise add keys
  // to setup.cfg: each CR and each LF becomes a space. Windows file names hold none.
  const std::string name = testsupport::BoxesOnStandardError() ? "Setup\nShell_Slient=1" : "Setup.exe";
  const std::wstring language = L"en\r\nShell_Debug=1";
  EnginePackage run;
  const fs::path package = run.Write(name);
  const auto result = run.box.Start(package, {L"/language", language});
  EXPECT_EQ(result.exitCode, 0u);
  testsupport::ExpectBoxes(result, {});
  const auto oneLine = [](std::string text) {
    for (char& ch : text) {
      if (ch == '\r' || ch == '\n') ch = ' ';
    }
    return text;
  };
  std::string commandLine = oneLine(testsupport::Utf8(platform::QuoteArgument(package.wstring())) + " /language " +
                                    testsupport::Utf8(platform::QuoteArgument(language)));
  // Where both arguments needed quotes (on POSIX the name's line break asks for them),
  // the whole line is enclosed in them and goes inside one more pair.
  if (commandLine.front() == '"' && commandLine.back() == '"') commandLine = "\"" + commandLine + "\"";
  EXPECT_EQ(testsupport::ReadFileBytes(run.box.Report() / "setup.cfg"),
            "[Main]\r\n"
            "XParam1=" + oneLine(package.u8string()) + "\r\n"
            "Shell_CommandLine=" + commandLine + "\r\n"
            "Shell_Debug=0\r\n"
            "Shell_Language=en  Shell_Debug=1\r\n"
            "Shell_Uninstall=0\r\n"
            "Shell_Repair=0\r\n"
            "Shell_ZBT_UpdateTest=0\r\n");
}

TEST(LauncherRun, OnPosixAnAbsolutePathIsAValueNotASwitch) {
  if (!testsupport::BoxesOnStandardError()) GTEST_SKIP() << "Windows has no such paths";
  EnginePackage run;
  const auto result = run.box.Start(run.Write(), {L"/logfile", L"/var/log/setup.log", L"/silent"});
  const std::string settings = testsupport::ReadFileBytes(run.box.Report() / "setup.cfg");
  EXPECT_EQ(testsupport::ValueOf(settings, "Shell_Logfile"), "/var/log/setup.log");
  EXPECT_EQ(testsupport::ValueOf(settings, "Shell_Slient"), "1");
}

}  // namespace
