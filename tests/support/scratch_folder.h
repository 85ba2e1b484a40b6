#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder of the test's own, removed with everything in it afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The folder's path as the launcher writes it, with the trailing separator.
  std::wstring WithSeparator() const;
  std::filesystem::path Write(const std::filesystem::path& name, const std::string& bytes) const;
  // Names of the entries directly inside, sorted.
  std::vector<std::string> Entries(const std::filesystem::path& sub = {}) const;

 private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& path);

// Sets an environment variable (an empty value removes it) for as long as it lives.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(std::string name, const std::wstring& value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::string name_;
  std::wstring saved_;
};

// Points the system's temporary directory (TMPDIR, or TMP and TEMP on Windows) at
// another folder for as long as it lives.
class TempDirectoryOverride {
 public:
  explicit TempDirectoryOverride(const std::wstring& directory);
  ~TempDirectoryOverride();
  TempDirectoryOverride(const TempDirectoryOverride&) = delete;
  TempDirectoryOverride& operator=(const TempDirectoryOverride&) = delete;

 private:
  std::vector<std::unique_ptr<ScopedEnvironmentVariable>> variables_;
};

// The folder that holds the running test program, where the built programs lie too.
std::filesystem::path ProgramFolder();

}  // namespace testsupport
