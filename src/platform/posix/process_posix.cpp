// Profile writing and starting the setup engine directly, without a shell.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/errors_posix.h"
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

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || FailWithErrno();
  std::string content;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<size_t>(got));
  close(fd);
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
  const std::string file = WideToUtf8(path);
  const std::string sectionName = WideToUtf8(section);
  const std::string keyName = WideToUtf8(key);
  const std::string valueText = WideToUtf8(value);
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
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return FailWithErrno();
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t stored = write(fd, content.data() + written, content.size() - written);
    if (stored < 0 && errno == EINTR) continue;
    if (stored <= 0) break;
    written += static_cast<size_t>(stored);
  }
  const bool complete = written == content.size() || FailWithErrno();
  return (close(fd) == 0 || FailWithErrno()) && complete;
}

ProcessHandle::~ProcessHandle() { Close(); }

bool ProcessHandle::Start(const std::wstring& program, const std::wstring* parameters, const std::wstring& directory,
                          int /*showMode*/, bool keepHandle) {
  Close();
  std::string path = WideToUtf8(program);
  std::string parameterText = parameters != nullptr ? WideToUtf8(*parameters) : std::string();
  std::vector<char*> argv{path.data()};
  if (!parameterText.empty()) argv.push_back(parameterText.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string folder = WideToUtf8(directory);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  const int error = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    SetLastError(WindowsErrorFromErrno(error));
    return false;
  }
  ended_ = false;
  if (keepHandle) handle_ = pid;
  return true;
}

bool ProcessHandle::WaitForEnd() {
  if (ended_) return true;
  int status = 0;
  const pid_t waited = waitpid(static_cast<pid_t>(handle_), &status, 0);
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

void ProcessHandle::Close() {
  handle_ = 0;
  ended_ = false;
}

}  // namespace platform
