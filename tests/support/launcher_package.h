#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/package_fixtures.h"
#include "support/process.h"
#include "support/scratch_folder.h"

namespace testsupport {

// The launcher program built beside the tests, and the test setup engine.
std::filesystem::path LauncherProgram();
std::filesystem::path TestEngineProgram();

// Writes a runnable package: the launcher's image followed by payload (an archive
// and trailer, or anything a test wants behind the image).
std::filesystem::path WritePackage(const std::filesystem::path& path, const std::string& payload);

// The payload of a good package: the archive of content (with the test engine as
// its setup engine unless content says otherwise) and the trailer for password.
std::string PackagePayload(const std::vector<sfxpkg::ArchiveMember>& members, const std::string& password);
// The same for the four members of content, all encrypted with password.
std::string PackagePayload(const PackageContent& content, const std::string& password);
PackageContent ContentWithTestEngine();

// True in the POSIX build, where the launcher writes its boxes to standard error
// (and exit statuses hold 8 bits, names are bytes, paths begin with '/').
bool BoxesOnStandardError();

// A message box as the user reads it, in UTF-8. The launcher's own boxes have no
// caption; Windows titles them "Error".
struct ExpectedBox {
  std::optional<std::string> caption;
  std::string text;
};
inline ExpectedBox LauncherBox(const std::string& text) { return {std::nullopt, text}; }
inline ExpectedBox CorruptFileBox() { return LauncherBox("Corrupt file!"); }
// The box for a working folder that cannot be created or held; it names the folder
// with a path separator at its end.
ExpectedBox FolderNotCreatedBox(const std::filesystem::path& folder);
// The fatal-error box: titled with the package's name without its extension, its
// text ending in the system's text for lastError.
ExpectedBox FatalErrorBox(const std::string& appName, const std::wstring& message, int lastError);
// The last error a fatal-error box reports after a failure inside the zip library,
// where no system call of its own failed: on POSIX the launcher's look for a free
// working-folder name (not found), on Windows none (0, which the box shows as 1).
#ifdef _WIN32
inline constexpr int kLastErrorAfterZipFailure = 1;
#else
inline constexpr int kLastErrorAfterZipFailure = 2;
#endif

// That the run showed exactly the boxes expected, in order: on POSIX as the launcher
// writes them to standard error ("caption: text"), on Windows as they appeared on
// the screen (which needs SFX_WINE_SCREEN=xvfb under Wine).
void ExpectBoxes(const ProgramResult& result, const std::vector<ExpectedBox>& expected);
// That a silent run's log holds one line per box expected, in order: the local
// time, then what the box would have said, "caption: text" (caption "Error" where
// it has none), its line breaks as spaces.
void ExpectLogLines(const std::filesystem::path& log, const std::vector<ExpectedBox>& expected);

// The exit status a run ends with in this build: the first in the Windows build,
// the second in the POSIX one (whose statuses hold 8 bits).
uint32_t ExitStatus(uint32_t windows, uint32_t posix);

// How many times this process checked a run's boxes.
int BoxChecks();

// The files a successful run leaves in its working folder, sorted.
extern const std::vector<std::string> kFiveFiles;

// The value of "key=" in a report or settings text, up to the line's end.
std::string ValueOf(const std::string& text, const std::string& key);
// The value of key in a settings text as the Windows profile API's reader gives it:
// one pair of quotation marks, double or single, that encloses it is dropped.
std::string ProfileValue(const std::string& settings, const std::string& key);
std::string Utf8(const std::wstring& text);

// A scratch folder with a temporary directory for the launcher and a folder the
// test engine reports into; runs packages with both set.
class LauncherSandbox {
 public:
  LauncherSandbox();
  const std::filesystem::path& Temp() const { return temp_; }
  const std::filesystem::path& Report() const { return report_; }
  const ScratchFolder& Scratch() const { return scratch_; }
  std::filesystem::path WorkingFolder(int n = 0) const { return temp_ / ("KIVOTemp" + std::to_string(n)); }

  ProgramResult Start(const std::filesystem::path& package, const std::vector<std::wstring>& arguments = {},
                      std::map<std::string, std::wstring> environment = {}) const;
  // Entries of the temporary directory, and of one folder in it.
  std::vector<std::string> TempEntries(const std::filesystem::path& sub = {}) const;

 private:
  ScratchFolder scratch_;
  std::filesystem::path temp_;
  std::filesystem::path report_;
};

}  // namespace testsupport
