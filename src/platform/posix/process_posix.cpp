// Profile writing, and starting a program directly, without a shell.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/errors_posix.h"
#include "platform/posix/held_folder_posix.h"
#include "platform/utf8.h"

extern char** environ;

namespace platform {
namespace {

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The file's lines; none for a missing file. False, with the last error set, when it
// cannot be read whole: rewriting it then would lose what could not be read.
bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  const PathAt at(path);
  if (!at.Found()) return false;
  const UniqueHandle file(openat(at.Folder(), at.Name(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!file) return errno == ENOENT || FailWithErrno();
  std::string content;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(static_cast<int>(file.Get()), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return FailWithErrno();
    if (got == 0) break;
    content.append(buffer, static_cast<size_t>(got));
  }
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return true;
}

}  // namespace

bool WriteProfileEntry(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                        const std::wstring& path) {
  // The layout Windows' profile writer gives: "[section]", then "key=value" lines,
  // each ended by CR LF; keys and sections match without regard to case.
  const std::string file = WideToBytes(path);
  const std::string sectionName = WideToBytes(section);
  const std::string keyName = WideToBytes(key);
  const std::string valueText = WideToBytes(value);
  const std::string entry = keyName + "=" + valueText;
  std::vector<std::string> lines;
  if (!ReadLines(file, lines)) return false;

  size_t header = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = Trimmed(lines[i]);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']' &&
        EqualIgnoringAsciiCase(line.substr(1, line.size() - 2), sectionName)) {
      header = i;
      break;
    }
  }
  if (header == lines.size()) {
    lines.push_back("[" + sectionName + "]");
    lines.push_back(entry);
  } else {
    size_t insertAt = header + 1;
    bool replaced = false;
    for (size_t i = header + 1; i < lines.size() && !replaced; ++i) {
      const std::string line = Trimmed(lines[i]);
      if (!line.empty() && line.front() == '[') break;
      if (line.empty()) continue;
      const size_t equals = line.find('=');
      const std::string existingKey = Trimmed(line.substr(0, equals));
      if (EqualIgnoringAsciiCase(existingKey, keyName)) {
        lines[i] = existingKey + "=" + valueText;  // the key keeps its spelling
        replaced = true;
      }
      insertAt = i + 1;
    }
    if (!replaced) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
  }

  std::string content;
  for (const std::string& line : lines) content += line + "\r\n";
  const PathAt at(file);
  if (!at.Found()) return false;
  UniqueHandle out(openat(at.Folder(), at.Name(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!out) return FailWithErrno();
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t stored = write(static_cast<int>(out.Get()), content.data() + written, content.size() - written);
    if (stored < 0 && errno == EINTR) continue;
    if (stored <= 0) break;
    written += static_cast<size_t>(stored);
  }
  const bool complete = written == content.size() || FailWithErrno();
  return out.Close() && complete;
}

// The actions that make the child start in directory. False, with the last error
// set, when one cannot be recorded: the engine must never start elsewhere.
class SpawnActions {
 public:
  SpawnActions() : ready_(posix_spawn_file_actions_init(&actions_) == 0) {}
  ~SpawnActions() {
    if (ready_) posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;

  // The folder is opened here and entered by its descriptor, so the child starts in
  // the folder opened (inside the held working folder, the one held) whatever is
  // renamed meanwhile.
  bool StartIn(const std::string& directory) {
    const PathAt at(directory);
    if (!at.Found()) return false;
    directory_ = UniqueHandle(openat(at.Folder(), at.Name(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!directory_) return FailWithErrno();
    const int error =
        ready_ ? posix_spawn_file_actions_addfchdir_np(&actions_, static_cast<int>(directory_.Get())) : ENOMEM;
    if (error == 0) return true;
    SetLastError(WindowsErrorFromErrno(error));
    return false;
  }
  const posix_spawn_file_actions_t* Get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
  bool ready_;
  UniqueHandle directory_;  // open until the child has started
};

bool ProcessHandle::Start(const std::wstring& program, const std::wstring& directory, bool /*quiet*/) {
  std::string path = WideToBytes(program);
  char* const argv[] = {path.data(), nullptr};
  SpawnActions actions;
  if (!actions.StartIn(WideToBytes(directory))) return false;
  // A program in the folder it starts in is run from there, as the folder opened holds it.
  const PathParts parts = SplitPath(program);
  const std::string started =
      parts.directory == directory ? "./" + WideToBytes(parts.fileName + parts.extension) : path;
  pid_t pid = 0;
  const int error = posix_spawn(&pid, started.c_str(), actions.Get(), nullptr, argv, environ);
  if (error != 0) {
    SetLastError(WindowsErrorFromErrno(error));
    return false;
  }
  processId_ = pid;
  ended_ = false;
  return true;
}

bool ProcessHandle::WaitForEnd() {
  if (ended_) return true;
  int status = 0;
  const pid_t waited = waitpid(static_cast<pid_t>(processId_), &status, 0);
  if (waited < 0) return FailWithErrno();
  if (!WIFEXITED(status) && !WIFSIGNALED(status)) return false;
  status_ = status;
  ended_ = true;
  return true;
}

bool ProcessHandle::ExitCode(uint32_t& code) {
  if (!ended_) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  // A setup engine killed by a signal has failed: 128 + the signal, as shells report it.
  code = WIFEXITED(status_) ? static_cast<uint32_t>(WEXITSTATUS(status_)) : 128u + WTERMSIG(status_);
  return true;
}

}  // namespace platform
