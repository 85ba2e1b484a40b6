// The working folder held for the run: made under a private name, checked and held
// before it takes its name, and reached through the folder held from then on.
// No lock is taken on the temporary directory, which anyone who may read it could hold.
#include "platform/posix/held_folder_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/posix/errors_posix.h"
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr int kFreshNameAttempts = 100;
constexpr size_t kRandomCharacters = 8;

// The held folder's descriptor and its path (no separator at its end), while one is held.
int g_heldFolder = -1;
std::string g_heldPath;

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Characters no other process can foretell, so nobody can take the name first.
std::string RandomCharacters() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[kRandomCharacters] = {};
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    // Without the system's randomness a clash only costs another attempt.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long mixed = static_cast<unsigned long>(now.tv_nsec) ^ (static_cast<unsigned long>(getpid()) << 20);
    for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(mixed = mixed * 6364136223846793005UL + 1);
  }
  std::string text;
  for (const unsigned char byte : bytes) text.push_back(kAlphabet[byte % (sizeof kAlphabet - 1)]);
  return text;
}

// Owned by the user, a folder, no one else's to enter or change.
bool IsPrivateFolder(const struct stat& info) {
  return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 07777) == 0700;
}

bool SameEntry(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether name in directory is still the folder held.
bool NameLeadsTo(int directory, const std::string& name, int folder) {
  struct stat named, held;
  return fstatat(directory, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && fstat(folder, &held) == 0 &&
         SameEntry(named, held);
}

bool OthersCanReplaceEntries(const struct stat& directory) {
  if (directory.st_uid != geteuid() && directory.st_uid != 0) return true;
  if ((directory.st_mode & S_ISVTX) != 0) return false;  // only an entry's owner may rename it
  return (directory.st_mode & S_IWOTH) != 0 || ((directory.st_mode & S_IWGRP) != 0 && directory.st_gid != getegid());
}

// The path split at its last separator, without separators at its end.
std::pair<std::string, std::string> SplitFolder(const std::wstring& folder) {
  const std::string path = WithoutTrailingSeparators(WideToBytes(folder));
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Opens the directory that is to hold a working folder, refusing one in which others
// could swap it.
UniqueHandle OpenParent(const std::string& path) {
  UniqueHandle directory(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!directory) return FailWithErrno(), UniqueHandle();
  struct stat info;
  if (fstat(static_cast<int>(directory.Get()), &info) != 0) return FailWithErrno(), UniqueHandle();
  if (OthersCanReplaceEntries(info)) return SetLastError(kErrorAccessDenied), UniqueHandle();
  return directory;
}

// Removes a folder this process made and never let go of, keeping the last error.
void RemoveOwnFolder(int directory, const std::string& name) {
  const int error = LastError();
  unlinkat(directory, name.c_str(), AT_REMOVEDIR);
  SetLastError(error);
}

// Makes a fresh folder whose name begins with prefix, private to the user, and holds
// it in use (a shared lock, which leftover removal tests for). The name is the one it got.
UniqueHandle MakeHeldFolder(int directory, const std::string& prefix, std::string& name) {
  bool made = false;
  for (int attempt = 0; attempt < kFreshNameAttempts && !made; ++attempt) {
    name = prefix + RandomCharacters();
    made = mkdirat(directory, name.c_str(), 0700) == 0;
    if (!made && errno != EEXIST) return FailWithErrno(), UniqueHandle();
  }
  if (!made) return SetLastError(kErrorAlreadyExists), UniqueHandle();
  UniqueHandle folder(openat(directory, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  const int fd = static_cast<int>(folder.Get());
  struct stat info;
  // The mode asked for, whatever the umask took away.
  const bool held = folder && fchmod(fd, 0700) == 0 && fstat(fd, &info) == 0 && flock(fd, LOCK_SH) == 0;
  if (held && IsPrivateFolder(info)) return folder;
  if (held) SetLastError(kErrorAccessDenied);  // not the user's own, or not a folder: never used
  if (!held) FailWithErrno();
  RemoveOwnFolder(directory, name);
  return UniqueHandle();
}

struct MadeFolder {
  UniqueHandle directory;
  UniqueHandle folder;
  std::string path;  // without a separator at its end
};

// A fresh folder in the directory at parentPath, held: under a private name that
// begins with prefix, then under finalName where one is given. It takes that name
// only where nothing has it, so no other launcher can take it meanwhile for an empty
// leftover; on a file system that cannot rename without replacing, it keeps the
// private name.
MadeFolder MakeFolder(const std::string& parentPath, const std::string& prefix, const std::string* finalName) {
  MadeFolder made;
  UniqueHandle directory = OpenParent(parentPath);
  if (!directory) return made;
  const int parent = static_cast<int>(directory.Get());
  std::string name;
  UniqueHandle folder = MakeHeldFolder(parent, prefix, name);
  if (!folder) return made;
  if (finalName != nullptr) {
    if (renameat2(parent, name.c_str(), parent, finalName->c_str(), RENAME_NOREPLACE) == 0) {
      name = *finalName;
    } else if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
      FailWithErrno();
      RemoveOwnFolder(parent, name);
      return made;
    }
  }
  made.directory = std::move(directory);
  made.folder = std::move(folder);
  made.path = (parentPath == "/" ? "" : parentPath) + "/" + name;
  return made;
}

// Holds what was made, if anything, as the folder whose paths are reached through it.
bool Adopt(MadeFolder made, UniqueHandle& folder, UniqueHandle& directory, std::wstring& path) {
  if (!made.folder) return false;
  folder = std::move(made.folder);
  directory = std::move(made.directory);
  path = BytesToWide(made.path + "/");
  g_heldFolder = static_cast<int>(folder.Get());
  g_heldPath = made.path;
  return true;
}

}  // namespace

PathAt::PathAt(const std::string& path) : name_(path) {
  if (g_heldFolder < 0) return;
  const std::string full = WithoutTrailingSeparators(path);
  if (full == g_heldPath) {
    folder_ = g_heldFolder;
    name_ = ".";
    return;
  }
  if (full.size() <= g_heldPath.size() + 1 || full.compare(0, g_heldPath.size(), g_heldPath) != 0 ||
      full[g_heldPath.size()] != '/') {
    return;
  }
  // Each folder on the way is entered from the one before, never through a link.
  folder_ = g_heldFolder;
  size_t start = g_heldPath.size() + 1;
  for (size_t slash = full.find('/', start); slash != std::string::npos; slash = full.find('/', start)) {
    const std::string component = full.substr(start, slash - start);
    start = slash + 1;
    if (component.empty() || component == ".") continue;
    UniqueHandle next(
        component == ".." ? -1 : openat(folder_, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next) {
      found_ = component == ".." ? (SetLastError(kErrorAccessDenied), false) : FailWithErrno();
      return;
    }
    opened_ = std::move(next);
    folder_ = static_cast<int>(opened_.Get());
  }
  name_ = full.substr(start);
}

bool HeldFiles::Hold(const std::wstring&) { return true; }

bool HeldFiles::Keep(OutputFile& file) { return file.Close(); }

bool HeldFiles::CreateForProfileWrites(const std::wstring&) { return true; }

bool OthersCanReplaceFoldersIn(const std::wstring& directory) {
  const UniqueHandle opened(open(WideToBytes(directory).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat info;
  // A directory that cannot be looked at is left to the folder's creation to report.
  if (!opened || fstat(static_cast<int>(opened.Get()), &info) != 0 || !OthersCanReplaceEntries(info)) return false;
  SetLastError(kErrorAccessDenied);
  return true;
}

bool BelongsToAnotherUser(const std::wstring& path) {
  struct stat info;
  return lstat(WideToBytes(path).c_str(), &info) == 0 && info.st_uid != geteuid();
}

bool RemoveLeftoverFolder(const std::wstring& path) {
  const std::string native = WideToBytes(path);
  struct stat named;
  if (lstat(native.c_str(), &named) != 0) return FailWithErrno();
  // Another user's folder is never this user's leftover, even where root could remove it.
  if (!S_ISDIR(named.st_mode) || named.st_uid != geteuid()) return SetLastError(kErrorAccessDenied), false;
  const UniqueHandle folder(open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder) return FailWithErrno();
  // A process that holds the folder keeps a shared lock on it.
  if (flock(static_cast<int>(folder.Get()), LOCK_EX | LOCK_NB) != 0) return SetLastError(kErrorSharingViolation), false;
  // Locked, it may still be one that another launcher removed meanwhile, its name
  // now another's folder: only the folder locked goes.
  struct stat locked;
  if (lstat(native.c_str(), &named) != 0 || fstat(static_cast<int>(folder.Get()), &locked) != 0 ||
      !SameEntry(named, locked)) {
    return SetLastError(kErrorSharingViolation), false;
  }
  return rmdir(native.c_str()) == 0 || FailWithErrno();
}

FolderChoiceLock::FolderChoiceLock(const std::wstring&, const std::wstring&) {}

FolderChoiceLock::~FolderChoiceLock() = default;

FolderInUse::~FolderInUse() { Release(); }

void FolderInUse::Release() {
  if (folder_ && g_heldFolder == static_cast<int>(folder_.Get())) {
    g_heldFolder = -1;
    g_heldPath.clear();
  }
  folder_.Close();
  directory_.Close();
  path_.clear();
}

bool FolderInUse::Create(const std::wstring& folder) {
  Release();
  const auto [parentPath, name] = SplitFolder(folder);
  return Adopt(MakeFolder(parentPath, name + ".", &name), folder_, directory_, path_);
}

bool FolderInUse::CreateFresh(const std::wstring& directory, const std::wstring& prefix) {
  Release();
  return Adopt(MakeFolder(WithoutTrailingSeparators(WideToBytes(directory)), WideToBytes(prefix), nullptr), folder_,
               directory_, path_);
}

bool FolderInUse::StillHeld() const {
  struct stat info;
  const int folder = static_cast<int>(folder_.Get());
  if (folder_ && fstat(folder, &info) == 0 && IsPrivateFolder(info) &&
      NameLeadsTo(static_cast<int>(directory_.Get()), SplitFolder(path_).second, folder)) {
    return true;
  }
  SetLastError(kErrorAccessDenied);
  return false;
}

bool FolderInUse::RemoveAndRelease() {
  const std::string name = SplitFolder(path_).second;
  // Removed while still held, so that no other launcher can have put its own there.
  const bool removed =
      folder_ && NameLeadsTo(static_cast<int>(directory_.Get()), name, static_cast<int>(folder_.Get())) &&
      (unlinkat(static_cast<int>(directory_.Get()), name.c_str(), AT_REMOVEDIR) == 0 || FailWithErrno());
  Release();
  return removed;
}

}  // namespace platform
