#pragma once

#include <filesystem>
#include <map>
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

// True where a message box is written to standard error, so a test can read it.
bool BoxesOnStandardError();
// Where boxes go to standard error, that it reads expected (the boxes in order).
void ExpectBoxesOnStandardError(const ProgramResult& result, const std::string& expected);

// The files a successful run leaves in its working folder, sorted.
extern const std::vector<std::string> kFiveFiles;

// The value of "key=" in a report or settings text, up to the line's end.
std::string ValueOf(const std::string& text, const std::string& key);
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
