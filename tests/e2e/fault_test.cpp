// Whole runs under faults a launcher meets in the field: damaged downloads, full
// disks, busy or hostile temporary directories, engines that fail, several
// launchers at once. Every run must exit 0, say what happened, leave nothing of a
// failed run behind and write nothing outside its working folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "package/package_trailer.h"
#include "platform/platform.h"
#include "support/concurrently.h"
#include "support/launcher_package.h"

#ifndef _WIN32
#include <sys/mount.h>
#endif

namespace fs = std::filesystem;
using testsupport::LauncherSandbox;

namespace {

constexpr char kPassword[] = "fault-pw";

// A member that could not be written whole: the disk was full.
std::vector<testsupport::ExpectedBox> DiskFullBoxes() {
  return {testsupport::FatalErrorBox("Package", L"Datei konnte nicht entpackt werden.", platform::kErrorDiskFull),
          testsupport::CorruptFileBox()};
}

std::string Archive(const testsupport::PackageContent& content) {
  return testsupport::ZipBytes(testsupport::PackageMembers(content, kPassword));
}

#ifndef _WIN32
// A small file system of the test's own, for a disk that fills up or cannot be
// written. Needs the right to mount (CI runs as root); otherwise the test is skipped.
class Tmpfs {
 public:
  Tmpfs(const fs::path& at, const std::string& options) : at_(at) {
    fs::create_directories(at);
    mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~Tmpfs() {
    if (mounted_) umount(at_.c_str());
  }
  bool Mounted() const { return mounted_; }
  void MakeReadOnly() { mounted_ = mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

 private:
  fs::path at_;
  bool mounted_ = false;
};
#endif

TEST(Faults, SeveralLaunchersAtOnceEachGetAFolderOfTheirOwn) {
  LauncherSandbox box;
  const auto content = testsupport::ContentWithTestEngine();
  const fs::path package = testsupport::WritePackage(
      box.Scratch().Path() / "Package.exe", testsupport::PackagePayload(content, kPassword));
  constexpr int kLaunchers = 6;
  std::vector<testsupport::ProgramResult> results(kLaunchers);
  testsupport::RunConcurrently(kLaunchers, [&](int i) {
    const fs::path report = box.Scratch().Path() / ("report" + std::to_string(i));
    results[i] = box.Start(package, {}, {{"SFX_TEST_REPORT", report.wstring()}, {"SFX_TEST_SLEEP_MS", L"300"}});
  });

  std::set<std::string> folders;
  for (int i = 0; i < kLaunchers; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(results[i].exitCode, 0u);
    testsupport::ExpectBoxes(results[i], {});
    const std::string report =
        testsupport::ReadFileBytes(box.Scratch().Path() / ("report" + std::to_string(i)) / "report.txt");
    folders.insert(report.substr(0, report.find('\n')));
  }
  EXPECT_EQ(folders.size(), static_cast<size_t>(kLaunchers));  // no two engines shared a folder
  ASSERT_EQ(box.TempEntries().size(), static_cast<size_t>(kLaunchers));
  for (const std::string& folder : box.TempEntries()) EXPECT_EQ(box.TempEntries(folder), testsupport::kFiveFiles) << folder;
}

TEST(Faults, APackageCutAtAnyBoundary) {
  const auto content = testsupport::ContentWithTestEngine();
  const std::string image = testsupport::ReadFileBytes(testsupport::LauncherProgram());
  const std::string archive = Archive(content);
  const std::string trailer = package::BuildPackageTrailer(kPassword, "", 1);
  const std::string signature = std::string(4, '\0') + std::string(9000, '\x30');
  const std::string whole = image + archive + trailer + signature;
  struct Case {
    const char* what;
    size_t size;
    bool runs;
  };
  const Case cases[] = {
      {"the image alone", image.size(), false},
      {"in the middle of the archive", image.size() + archive.size() / 2, false},
      {"the archive without its trailer", image.size() + archive.size(), false},
      {"in the middle of the marker", image.size() + archive.size() + trailer.size() - 6, false},
      {"without the signature block", image.size() + archive.size() + trailer.size(), true},
      {"in the middle of the signature block", whole.size() - 4000, true},
      {"the whole package", whole.size(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LauncherSandbox box;
    const fs::path package = box.Scratch().Path() / "Package.exe";
    box.Scratch().Write("Package.exe", whole.substr(0, c.size));
    fs::permissions(package, fs::perms::owner_all, fs::perm_options::add);
    const auto result = box.Start(package);
    EXPECT_EQ(result.exitCode, c.runs ? 0u : testsupport::ExitStatus(1620, 65));
    testsupport::ExpectBoxes(result, c.runs ? std::vector<testsupport::ExpectedBox>{}
                                            : std::vector<testsupport::ExpectedBox>{testsupport::CorruptFileBox()});
    EXPECT_EQ(fs::exists(box.Report() / "report.txt"), c.runs);
    if (c.runs) {
      EXPECT_EQ(box.TempEntries("KIVOTemp0"), testsupport::kFiveFiles);
    } else {
      EXPECT_TRUE(box.TempEntries().empty());
    }
  }
}

TEST(Faults, AnArchiveThatCannotBeOpenedLeavesTheEmptyFolder) {
  const auto content = testsupport::ContentWithTestEngine();
  const std::string archive = Archive(content);
  const std::string trailer = package::BuildPackageTrailer(kPassword, "", 1);
  struct Case {
    const char* what;
    std::string payload;
  };
  // The archive library's own bounds: what it cannot open in front of the trailer.
  const Case cases[] = {
      {"no archive at all", trailer},
      {"a stray end-record signature between the archive and the trailer",
       archive + "PK\x05\x06" + std::string(200, '\x30') + trailer},
      {"the end record more than 65,535 bytes before the trailer", archive + std::string(70000, 'x') + trailer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LauncherSandbox box;
    const auto result = box.Start(testsupport::WritePackage(box.Scratch().Path() / "Package.exe", c.payload));
    EXPECT_EQ(result.exitCode, testsupport::ExitStatus(1620, 65));
    testsupport::ExpectBoxes(
        result, {testsupport::FatalErrorBox("Package", L"Corrupt archive!", testsupport::kLastErrorAfterZipFailure),
                 testsupport::CorruptFileBox()});
    EXPECT_EQ(box.TempEntries(), std::vector<std::string>{"KIVOTemp0"});  // the empty folder stays
    EXPECT_TRUE(box.TempEntries("KIVOTemp0").empty());
  }
}

TEST(Faults, AnEngineThatCannotRunIsCleanedUpSilently) {
  if (!testsupport::BoxesOnStandardError()) GTEST_SKIP() << "the Windows shell shows its own box for this";
  LauncherSandbox box;
  testsupport::PackageContent content;  // the engine member is no program at all
  const auto result = box.Start(testsupport::WritePackage(
      box.Scratch().Path() / "Package.exe", testsupport::PackagePayload(content, kPassword)));
  EXPECT_EQ(result.exitCode, 71u);
  testsupport::ExpectBoxes(result, {});
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST(Faults, AllWorkingFolderNamesTaken) {
  LauncherSandbox box;
  const auto content = testsupport::ContentWithTestEngine();
  for (int n = 0; n < 200; ++n) std::ofstream(box.Temp() / ("KIVOTemp" + std::to_string(n))) << "taken";
  const auto result = box.Start(testsupport::WritePackage(
      box.Scratch().Path() / "Package.exe", testsupport::PackagePayload(content, kPassword)));
  // The one name left to try is the temporary directory itself, which exists.
  EXPECT_EQ(result.exitCode, testsupport::ExitStatus(183, 73));
  testsupport::ExpectBoxes(result, {testsupport::FolderNotCreatedBox(box.Temp())});
  EXPECT_EQ(box.TempEntries().size(), 200u);
  EXPECT_FALSE(fs::exists(box.Report()));
}

#ifndef _WIN32
TEST(Faults, ADiskThatFillsUpWhileAMemberIsWritten) {
  LauncherSandbox box;
  Tmpfs small(box.Scratch().Path() / "small", "size=256k,mode=0755");
  if (!small.Mounted()) GTEST_SKIP() << "cannot mount a file system here";
  testsupport::PackageContent content;  // the engine never starts: its 200,000 bytes fit
  // More than the disk holds, and large enough to be read on two threads.
  content.ui = testsupport::SampleBytes(600000, 9);
  content.exp.clear();                               // an empty file needs no space
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe",
                                                     testsupport::PackagePayload(content, kPassword));
  const fs::path log = box.Scratch().Path() / "setup.log";
  for (const bool silent : {false, true}) {
    SCOPED_TRACE(silent ? "silent" : "interactive");
    const auto result = testsupport::RunProgram(
        package, silent ? std::vector<std::wstring>{L"/silent", L"/logfile", log.wstring()} : std::vector<std::wstring>{},
        {{"TMPDIR", (box.Scratch().Path() / "small").wstring()}});
    EXPECT_EQ(result.exitCode, 74u);
    testsupport::ExpectBoxes(result, silent ? std::vector<testsupport::ExpectedBox>{} : DiskFullBoxes());
    testsupport::ExpectLogLines(log, silent ? DiskFullBoxes() : std::vector<testsupport::ExpectedBox>{});
    EXPECT_TRUE(fs::is_empty(box.Scratch().Path() / "small"));
  }
}

TEST(Faults, ATemporaryDirectoryThatCannotBeWritten) {
  LauncherSandbox box;
  const fs::path temp = box.Scratch().Path() / "readonly";
  Tmpfs readOnly(temp, "size=64k");
  if (!readOnly.Mounted()) GTEST_SKIP() << "cannot mount a file system here";
  readOnly.MakeReadOnly();
  const auto result = testsupport::RunProgram(
      testsupport::WritePackage(box.Scratch().Path() / "Package.exe", package::BuildPackageTrailer(kPassword, "", 1)),
      {}, {{"TMPDIR", temp.wstring()}});
  EXPECT_EQ(result.exitCode, 73u);
  testsupport::ExpectBoxes(result, {testsupport::FolderNotCreatedBox(temp / "KIVOTemp0")});
}

TEST(Faults, LinksPlantedInTheTemporaryDirectoryRedirectNothing) {
  LauncherSandbox box;
  const fs::path elsewhere = box.Scratch().Path() / "elsewhere";
  fs::create_directories(elsewhere);
  // A link where the first folder would go, and a dangling one for the second.
  fs::create_directory_symlink(elsewhere, box.WorkingFolder(0));
  fs::create_directory_symlink(box.Scratch().Path() / "nowhere", box.WorkingFolder(1));
  const auto content = testsupport::ContentWithTestEngine();
  const auto result = box.Start(testsupport::WritePackage(
      box.Scratch().Path() / "Package.exe", testsupport::PackagePayload(content, kPassword)));
  EXPECT_EQ(result.exitCode, 0u);
  testsupport::ExpectBoxes(result, {});
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_FALSE(fs::exists(box.Scratch().Path() / "nowhere"));
  EXPECT_EQ(box.TempEntries("KIVOTemp2"), testsupport::kFiveFiles);
  EXPECT_TRUE(fs::is_symlink(box.WorkingFolder(0)));
}
#endif

// Whole runs in which one system call of the launcher fails, as a full disk, a
// network share or a file system without locks makes it fail: the preloaded
// fault_shim fails the call that SFX_FAULT names.
class InjectedFault : public testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "no library can be preloaded into launcher.exe to make one of its calls fail";
#endif
  }

  // Runs a package (a good one unless payload says otherwise) with the fault the
  // shim is told of.
  testsupport::ProgramResult RunWith(const std::string& fault, const std::vector<std::wstring>& arguments = {},
                                     const std::string& payload = {},
                                     std::map<std::string, std::wstring> environment = {}) {
    package_ = testsupport::WritePackage(
        box_.Scratch().Path() / "Package.exe",
        payload.empty() ? testsupport::PackagePayload(testsupport::ContentWithTestEngine(), kPassword) : payload);
    // The sanitizers' runtime insists on coming first among the libraries; the shim
    // only passes calls on to it, so that order does not matter here.
    const char* asanOptions = std::getenv("ASAN_OPTIONS");
    const std::string sanitizer = std::string(asanOptions != nullptr ? asanOptions : "") + ":verify_asan_link_order=0";
    environment.insert({{"LD_PRELOAD", (testsupport::ProgramFolder() / "libfault_shim.so").wstring()},
                        {"SFX_FAULT", platform::FromAnsi(fault)},
                        {"ASAN_OPTIONS", platform::FromAnsi(sanitizer)}});
    return box_.Start(package_, arguments, environment);
  }

  LauncherSandbox box_;
  fs::path package_;
};

TEST_F(InjectedFault, AnExtractedFileWhoseCloseFailsIsNotExtracted) {
  // Closing reports a write the system had deferred, to a disk that is full by then.
  const auto result = RunWith("close:setup.dat");
  EXPECT_EQ(result.exitCode, 74u);
  testsupport::ExpectBoxes(result, DiskFullBoxes());
  EXPECT_TRUE(box_.TempEntries().empty());
  EXPECT_FALSE(fs::exists(box_.Report()));  // the engine never ran
}

TEST_F(InjectedFault, AnEngineThatCannotBeStartedInItsFolderIsNotStarted) {
  const auto result = RunWith("addchdir:KIVOTemp0");
  EXPECT_EQ(result.exitCode, 71u);
  testsupport::ExpectBoxes(result, {});  // a failed start is cleaned up silently
  EXPECT_TRUE(box_.TempEntries().empty());
  EXPECT_FALSE(fs::exists(box_.Report()));  // not even somewhere else
}

TEST_F(InjectedFault, AWorkingFolderThatCannotBeHeldIsReported) {
  // Unheld, the empty folder could be taken for a leftover by another launcher.
  const auto result = RunWith("flock:KIVOTemp*");
  EXPECT_EQ(result.exitCode, 73u);
  testsupport::ExpectBoxes(result, {testsupport::FolderNotCreatedBox(box_.WorkingFolder())});
  EXPECT_TRUE(box_.TempEntries().empty());
  EXPECT_FALSE(fs::exists(box_.Report()));
}

// Another package of the same layout and password takes the package's path once
// its trailer has been read (while the launcher waits for its folder, say): what
// runs is still the package that was started.
TEST_F(InjectedFault, APackageReplacedDuringTheRunRunsAsStarted) {
  const auto content = testsupport::ContentWithTestEngine();
  testsupport::PackageContent planted = content;
  planted.data = std::string(content.data.size(), 'X');  // stored, so the layout stays
  const fs::path other = testsupport::WritePackage(
      box_.Scratch().Path() / "other" / "Package.exe",
      testsupport::PackagePayload(testsupport::PackageMembers(planted, kPassword, 0), kPassword));
  // The second read of the package is the one of its trailer.
  const auto result = RunWith("replace:Package.exe:2", {},
                              testsupport::PackagePayload(testsupport::PackageMembers(content, kPassword, 0), kPassword),
                              {{"SFX_REPLACE_WITH", other.wstring()}});
  EXPECT_EQ(result.exitCode, 0u);
  testsupport::ExpectBoxes(result, {});
  EXPECT_FALSE(fs::exists(other));  // the other package did take the path
  EXPECT_TRUE(testsupport::ReadFileBytes(box_.Report() / "setup.dat") == content.data);
}

TEST_F(InjectedFault, AWorkingFolderSwappedMidRunReceivesNothing) {
  // Whoever may rename entries of the temporary directory (where others may, the
  // directory is refused) moves the working folder away while the first member is
  // created and puts a folder of their own under its name.
  const auto result = RunWith("swap:setup.dat");
  EXPECT_EQ(result.exitCode, 73u);
  testsupport::ExpectBoxes(result, {testsupport::FolderNotCreatedBox(box_.WorkingFolder())});
  EXPECT_EQ(box_.TempEntries(), (std::vector<std::string>{"KIVOTemp0", "KIVOTemp0.moved"}));
  EXPECT_TRUE(box_.TempEntries("KIVOTemp0").empty());        // nothing written into the stand-in
  EXPECT_TRUE(box_.TempEntries("KIVOTemp0.moved").empty());  // the launcher's own files cleaned up
  EXPECT_FALSE(fs::exists(box_.Report()));                    // no engine ran, in either folder
}

TEST_F(InjectedFault, ALinkPlantedWhereAMemberGoesIsNotWrittenThrough) {
  // Between the deletion of what stood at Setup_UI.dll's path and its creation, a
  // hard link to a file of the user's takes the path: that file keeps its bytes.
  const fs::path victim = box_.Scratch().Write("victim.txt", "the user's own");
  const auto result = RunWith("plant:Setup_UI.dll", {}, {}, {{"SFX_PLANT_TARGET", victim.wstring()}});
  EXPECT_EQ(result.exitCode, 74u);
  testsupport::ExpectBoxes(result, {testsupport::FatalErrorBox("Package", L"Datei konnte nicht entpackt werden.",
                                                               platform::kErrorAlreadyExists),
                                    testsupport::CorruptFileBox()});
  EXPECT_EQ(testsupport::ReadFileBytes(victim), "the user's own");
  EXPECT_TRUE(box_.TempEntries().empty());  // the clean-up takes the link away with the rest
  EXPECT_FALSE(fs::exists(box_.Report()));
}

TEST_F(InjectedFault, ASettingsFileThatCannotBeReadBackKeepsItsLines) {
  // Each key is written by reading the file back and rewriting it. The first read
  // fails, while Shell_CommandLine is written: that key is missing, and every line
  // written before and after it is there.
  const auto result = RunWith("read:setup.cfg:1", {L"/silent"});
  EXPECT_EQ(result.exitCode, 0u);
  testsupport::ExpectBoxes(result, {});
  EXPECT_EQ(testsupport::ReadFileBytes(box_.Report() / "setup.cfg"),
            "[Main]\r\n"
            "XParam1=" + package_.u8string() + "\r\n"
            "Shell_Slient=1\r\n"
            "Shell_Debug=0\r\n"
            "Shell_Uninstall=0\r\n"
            "Shell_Repair=0\r\n"
            "Shell_ZBT_UpdateTest=0\r\n");
}

}  // namespace
