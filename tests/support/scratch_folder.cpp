#include "support/scratch_folder.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testsupport {
namespace {
std::atomic<int> g_counter{0};

int ProcessId() {
#ifdef _WIN32
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(getpid());
#endif
}

// The variables that name the temporary directory.
std::vector<std::string> TempVariables() {
#ifdef _WIN32
  return {"TMP", "TEMP"};
#else
  return {"TMPDIR"};
#endif
}

std::wstring GetVariable(const std::string& name) {
#ifdef _WIN32
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(platform::FromAnsi(name).c_str(), buffer, 32768);
  return length == 0 ? std::wstring() : std::wstring(buffer, length);
#else
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? platform::FromAnsi(value) : std::wstring();
#endif
}

void PutVariable(const std::string& name, const std::wstring& value) {
#ifdef _WIN32
  SetEnvironmentVariableW(platform::FromAnsi(name).c_str(), value.empty() ? nullptr : value.c_str());
#else
  if (value.empty()) {
    unsetenv(name.c_str());
  } else {
    setenv(name.c_str(), platform::ToAnsi(value).c_str(), 1);
  }
#endif
}
}  // namespace

ScratchFolder::ScratchFolder() {
  const fs::path base = fs::temp_directory_path() / "sfx-launcher-tests";
  fs::create_directories(base);
  for (;;) {
    path_ = base / ("run" + std::to_string(ProcessId()) + "-" + std::to_string(g_counter++));
    if (fs::create_directory(path_)) break;
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  // Read-only files and folders must not keep the scratch folder alive.
  for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::wstring ScratchFolder::WithSeparator() const { return path_.wstring() + platform::kPathSeparator; }

fs::path ScratchFolder::Write(const fs::path& name, const std::string& bytes) const {
  const fs::path target = path_ / name;
  fs::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return target;
}

std::vector<std::string> ScratchFolder::Entries(const fs::path& sub) const {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(path_ / sub, ignored)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::string name, const std::wstring& value)
    : name_(std::move(name)), saved_(GetVariable(name_)) {
  PutVariable(name_, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() { PutVariable(name_, saved_); }

TempDirectoryOverride::TempDirectoryOverride(const std::wstring& directory) {
  for (const std::string& name : TempVariables()) {
    variables_.push_back(std::make_unique<ScopedEnvironmentVariable>(name, directory));
  }
}

TempDirectoryOverride::~TempDirectoryOverride() = default;

fs::path ProgramFolder() { return fs::path(platform::ModuleFileName()).parent_path(); }

}  // namespace testsupport
