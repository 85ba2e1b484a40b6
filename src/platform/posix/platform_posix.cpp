// The program, its arguments, folders, files and text on POSIX hosts.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "platform/platform.h"
#include "platform/posix/arguments_posix.h"
#include "platform/posix/errors_posix.h"
#include "platform/posix/held_folder_posix.h"
#include "platform/utf8.h"

namespace platform {
namespace {
std::vector<std::string> g_arguments;

std::string Native(const std::wstring& path) { return WideToBytes(path); }
}  // namespace

const wchar_t kPathSeparator = L'/';
const bool kExitStatusHoldsErrorCodes = false;

bool UniqueHandle::Close() {
  if (value_ == kNone) return true;
  // The descriptor is gone whatever close reports; a failure is still one.
  const bool closed = close(static_cast<int>(value_)) == 0 || FailWithErrno();
  value_ = kNone;
  return closed;
}

void SetProcessArguments(int argc, char** argv) {
  g_arguments.assign(argv, argv + argc);
}

OsVersion QueryOsVersion() {
  // A POSIX host is a current system: it reports itself as the newest version the
  // launcher knows, so that only real Windows versions meet the version gate.
  return OsVersion{2, 10, 0};
}

std::wstring ModuleFileName() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length > 0) return BytesToWide(std::string(buffer, static_cast<size_t>(length)));
  // Without /proc, argument 0 made absolute is the best the system offers.
  if (!g_arguments.empty() && realpath(g_arguments[0].c_str(), buffer) != nullptr) {
    return BytesToWide(buffer);
  }
  FailWithErrno();
  return std::wstring();
}

std::vector<std::wstring> CommandLineArguments() {
  std::vector<std::wstring> arguments;
  arguments.reserve(g_arguments.size());
  for (const std::string& argument : g_arguments) arguments.push_back(BytesToWide(argument));
  return arguments;
}

std::wstring CommandLine() {
  std::wstring commandLine;
  for (const std::string& argument : g_arguments) {
    if (!commandLine.empty()) commandLine.push_back(L' ');
    commandLine += QuoteArgument(BytesToWide(argument));
  }
  return commandLine;
}

bool IsPathArgument(const std::wstring& argument) {
  // "/var/log/setup.log" is an absolute path, not the switch "var/log/setup.log".
  return argument.size() > 1 && argument[0] == L'/' && argument.find(L'/', 1) != std::wstring::npos;
}

PathParts SplitPath(const std::wstring& path) {
  PathParts parts;
  const size_t slash = path.rfind(L'/');
  const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
  parts.directory = path.substr(0, nameStart);
  const std::wstring name = path.substr(nameStart);
  const size_t dot = name.rfind(L'.');
  parts.fileName = dot == std::wstring::npos ? name : name.substr(0, dot);
  parts.extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
  return parts;
}

std::wstring TempDirectory() {
  const char* tmpdir = std::getenv("TMPDIR");
  // Made absolute, as Windows' own query does: the setup engine is started by its
  // path after changing into its folder, where a relative one would lead nowhere.
  const std::optional<std::string> path = AbsolutePath((tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp");
  if (!path) return std::wstring();
  return BytesToWide(path->back() == '/' ? *path : *path + "/");
}

bool CreateFolder(const std::wstring& path) {
  const PathAt folder(Native(path));
  return folder.Found() && (mkdirat(folder.Folder(), folder.Name(), 0700) == 0 || FailWithErrno());
}

bool RemoveFolder(const std::wstring& path) {
  const PathAt folder(Native(path));
  return folder.Found() && (unlinkat(folder.Folder(), folder.Name(), AT_REMOVEDIR) == 0 || FailWithErrno());
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
  const std::string native = Native(path);
  const size_t slash = native.find_last_of('/');
  if (slash != std::string::npos && slash > 0) CreateFolderTreeAnsi(native.substr(0, slash).c_str());  // the open tells
  const PathAt at(native);
  if (!at.Found()) return false;
  const int file = openat(at.Folder(), at.Name(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (file < 0) return FailWithErrno();
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(file, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += static_cast<size_t>(wrote);
  }
  const bool complete = done == bytes.size() || FailWithErrno();
  return close(file) == 0 && complete;
}

bool RemoveFile(const std::wstring& path) {
  const PathAt file(Native(path));
  struct stat info;
  if (!file.Found()) return false;
  // Like DeleteFileW, never removes a folder.
  if (fstatat(file.Folder(), file.Name(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  return unlinkat(file.Folder(), file.Name(), 0) == 0 || FailWithErrno();
}

bool SetAttributesNormal(const std::wstring& path) {
  // The nearest thing to clearing the read-only attribute: the owner may write again.
  const PathAt file(Native(path));
  struct stat info;
  if (!file.Found()) return false;
  if (fstatat(file.Folder(), file.Name(), &info, AT_SYMLINK_NOFOLLOW) != 0) return FailWithErrno();
  if (!S_ISREG(info.st_mode)) return true;
  return fchmodat(file.Folder(), file.Name(), (info.st_mode & 07777) | S_IWUSR, 0) == 0 || FailWithErrno();
}

bool PathExists(const std::wstring& path) {
  // Anything of that name counts, a dangling symbolic link included.
  const PathAt file(Native(path));
  struct stat info;
  return file.Found() && (fstatat(file.Folder(), file.Name(), &info, AT_SYMLINK_NOFOLLOW) == 0 || FailWithErrno());
}

bool ReadOnlyFile::OpenRunningProgram() {
  // The link names the file the process was started from, even once another file
  // has taken its path.
  if (Open(BytesToWide("/proc/self/exe"))) return true;
  return Open(ModuleFileName());
}

bool ReadOnlyFile::Open(const std::wstring& path) {
  Close();
  UniqueHandle file(open(Native(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) return FailWithErrno();
  struct stat info;
  if (fstat(static_cast<int>(file.Get()), &info) != 0) return FailWithErrno();
  if (S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return FailWithErrno();
  }
  file_ = std::move(file);
  return true;
}

bool ReadOnlyFile::OpenRegular(const std::wstring& path) {
  Close();
  // Without O_NONBLOCK opening a FIFO waits for a writer, for ever.
  UniqueHandle file(open(Native(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file) return FailWithErrno();
  const int fd = static_cast<int>(file.Get());
  struct stat info;
  if (fstat(fd, &info) != 0) return FailWithErrno();
  if (!S_ISREG(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) return SetLastError(kErrorAccessDenied), false;
    return SetLastError(kErrorBadFileType), false;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return FailWithErrno();
  file_ = std::move(file);
  return true;
}

std::optional<uint64_t> ReadOnlyFile::Size() const {
  struct stat info;
  if (!IsOpen() || fstat(static_cast<int>(file_.Get()), &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

size_t ReadOnlyFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
  if (!IsOpen()) return 0;
  ++reads_;
  size_t total = 0;
  while (total < count) {
    const ssize_t got = pread(static_cast<int>(file_.Get()), static_cast<char*>(buffer) + total, count - total,
                              static_cast<off_t>(offset + total));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0) FailWithErrno();
      break;
    }
    total += static_cast<size_t>(got);
  }
  return total;
}

std::string ToAnsi(const std::wstring& text) { return WideToBytes(text); }
std::wstring FromAnsi(const std::string& text) { return BytesToWide(text); }
std::optional<std::string> ToAnsiExact(const std::wstring& text) { return WideToBytes(text); }
std::wstring ShortPath(const std::wstring& path) { return path; }

void SendToDebugger(const MessageBoxRequest&) {}

std::string LocalTimeText() {
  const time_t now = time(nullptr);
  struct tm local {};
  char text[32] = "";
  if (localtime_r(&now, &local) != nullptr) strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

int SystemMessageBox(const MessageBoxRequest& request) {
  // A box on a terminal: the caption first where there is one, then the text.
  std::string out;
  if (request.caption) out += WideToBytes(*request.caption) + ": ";
  out += WideToBytes(request.text);
  if (out.empty() || out.back() != '\n') out.push_back('\n');
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
  return 1;  // IDOK
}

}  // namespace platform
