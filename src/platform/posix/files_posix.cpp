// The 8-bit path and file calls, memory and the process heap.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/errors_posix.h"
#include "platform/posix/held_folder_posix.h"
#include "platform/utf8.h"

namespace platform {

std::optional<std::string> AbsolutePath(const std::string& path) {
  // Like GetFullPathName: lexical, without touching the disk. Relative paths start
  // from the current folder, "." and ".." are resolved, a trailing separator stays.
  std::string full;
  if (path.empty() || path[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return FailWithErrno(), std::nullopt;
    full = std::string(cwd) + "/";
  }
  full += path;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < full.size()) {
    size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  if (result.empty() || full.back() == '/') result.push_back('/');
  return result;
}

size_t FullPathAnsi(const char* path, char* buffer, size_t bufferSize) {
  const std::optional<std::string> full = AbsolutePath(path);
  if (!full) return 0;
  const std::string& result = *full;
  if (result.size() + 1 > bufferSize) return result.size() + 1;
  std::memcpy(buffer, result.c_str(), result.size() + 1);
  return result.size();
}

bool PathExistsAnsi(const char* path) { return PathExists(BytesToWide(path)); }

bool SetAttributesNormalAnsi(const char* path) { return SetAttributesNormal(BytesToWide(path)); }

bool RemoveFileAnsi(const char* path) { return RemoveFile(BytesToWide(path)); }

bool CreateFolderTreeAnsi(const char* path) {
  std::string partial;
  const std::string full = path;
  bool created = true;
  for (size_t i = 0; i <= full.size(); ++i) {
    if (i == full.size() || full[i] == '/') {
      if (!partial.empty() && partial != "/") {
        const PathAt folder(partial);
        if (!folder.Found() || (mkdirat(folder.Folder(), folder.Name(), 0700) != 0 && errno != EEXIST)) {
          created = folder.Found() ? FailWithErrno() : false;
        }
      }
    }
    if (i < full.size()) partial.push_back(full[i]);
  }
  return created;
}

bool OutputFile::Create(const char* path) {
  Close();
  // A new file only: whatever stood at the path was deleted just before, and a
  // link planted there since (symbolic or hard) is not written through.
  const PathAt file(path);
  if (!file.Found()) return false;
  const int fd = openat(file.Folder(), file.Name(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    // A file that may be created is missing a folder on its way, as Windows says it.
    if (errno == ENOENT) return SetLastError(kErrorPathNotFound), false;
    return FailWithErrno();
  }
  file_ = UniqueHandle(fd);
  return true;
}

bool OutputFile::CreateNew(const std::wstring& path) {
  Close();
  const int fd = open(WideToBytes(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return FailWithErrno();
  file_ = UniqueHandle(fd);
  return true;
}

bool OutputFile::AllowOwnerToRun() {
  const int fd = static_cast<int>(file_.Get());
  struct stat info;
  if (fstat(fd, &info) != 0) return FailWithErrno();
  return fchmod(fd, (info.st_mode & 07777) | S_IXUSR) == 0 || FailWithErrno();
}

bool OutputFile::Write(const void* data, size_t count, size_t& written) {
  written = 0;
  while (written < count) {
    const ssize_t stored = write(static_cast<int>(file_.Get()), static_cast<const char*>(data) + written, count - written);
    if (stored < 0 && errno == EINTR) continue;
    if (stored < 0) return FailWithErrno();
    if (stored == 0) break;
    written += static_cast<size_t>(stored);
  }
  return true;
}

bool AllowOwnerToRun(const std::wstring& path) {
  const PathAt file(WideToBytes(path));
  struct stat info;
  if (!file.Found()) return false;
  if (fstatat(file.Folder(), file.Name(), &info, AT_SYMLINK_NOFOLLOW) != 0) return FailWithErrno();
  // A link is never followed to a file elsewhere.
  if (S_ISLNK(info.st_mode)) return SetLastError(kErrorAccessDenied), false;
  return fchmodat(file.Folder(), file.Name(), (info.st_mode & 07777) | S_IXUSR, 0) == 0 || FailWithErrno();
}

CommittedBuffer::CommittedBuffer(size_t size) {
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (pages == MAP_FAILED) {
    FailWithErrno();
    return;
  }
  data_ = static_cast<char*>(pages);
  size_ = size;
}

void CommittedBuffer::Release() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

void* HeapAllocate(size_t size, bool zeroFill) {
  void* block = zeroFill ? std::calloc(1, size) : std::malloc(size);
  if (block == nullptr) SetLastError(kErrorNotEnoughMemory);
  return block;
}

bool HeapRelease(void* block) {
  std::free(block);
  return true;
}

}  // namespace platform
