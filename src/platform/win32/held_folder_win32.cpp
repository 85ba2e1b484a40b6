// The working folder held for the run on Windows: the temporary directory is the
// user's own, and an open handle without delete sharing keeps the folder from being
// removed or renamed while it is held.
#include <windows.h>

#include <utility>

#include "platform/platform.h"

namespace platform {
namespace {
constexpr unsigned kFreshNameAttempts = 1000;

std::wstring WithSeparator(std::wstring path) {
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
  return path;
}

// The file at path for reading; share decides who else may still read, write or
// delete it while this is open.
UniqueHandle OpenForReading(const std::wstring& path, DWORD share) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  return UniqueHandle(reinterpret_cast<intptr_t>(file));  // INVALID_HANDLE_VALUE is none
}

HANDLE Native(const UniqueHandle& handle) { return reinterpret_cast<HANDLE>(handle.Get()); }

// True when both handles are open on one file, whatever its name says by now.
bool SameFile(const UniqueHandle& one, const UniqueHandle& other) {
  BY_HANDLE_FILE_INFORMATION a, b;
  if (!GetFileInformationByHandle(Native(one), &a) || !GetFileInformationByHandle(Native(other), &b)) return false;
  if (a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
      a.nFileIndexLow == b.nFileIndexLow) {
    return true;
  }
  ::SetLastError(ERROR_FILE_INVALID);
  return false;
}

// True when the held file is size bytes long.
bool HasSize(const UniqueHandle& file, uint64_t size) {
  LARGE_INTEGER fileSize;
  if (!GetFileSizeEx(Native(file), &fileSize)) return false;
  if (static_cast<uint64_t>(fileSize.QuadPart) == size) return true;
  ::SetLastError(ERROR_FILE_INVALID);
  return false;
}

// Closes a writer after a failure, keeping the failure's code.
bool CloseAfterFailure(UniqueHandle& file) {
  const DWORD error = GetLastError();
  file.Close();
  ::SetLastError(error);
  return false;
}
}  // namespace

bool HeldFiles::Hold(const std::wstring& path) {
  UniqueHandle file = OpenForReading(path, FILE_SHARE_READ);
  if (!file) return false;
  files_.push_back(std::move(file));
  return true;
}

// The writer cannot become the hold itself: a handle that may write keeps out every
// opener that refuses writers (the engine's loader, the hold), and neither a
// duplicate nor a second open takes write access from its file object. So a bridge
// goes between them: opened for reading while the writer is open, it must let
// writers in, but not deleting or renaming, so the name stays on this file
// throughout. Between the writer's close and the hold's open another process can
// open the file for writing: the hold cannot be had while it keeps it open, and a
// write that changed the size shows. The bytes are not read back: only a process
// the folder's DACL and integrity label let write there could write in that moment,
// and such a process may open the launcher itself; a digest of every byte would
// cost the extraction about as much again on Windows and stop no one.
bool HeldFiles::Keep(OutputFile& file) {
  if (!file.file_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  UniqueHandle bridge = OpenForReading(file.path_, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!bridge || !SameFile(file.file_, bridge)) return CloseAfterFailure(file.file_);
  // A write the system had deferred may fail only now.
  if (!file.Close()) return false;
  UniqueHandle held = OpenForReading(file.path_, FILE_SHARE_READ);
  if (!held || !SameFile(bridge, held)) return false;
  bridge.Close();
  if (!HasSize(held, file.size_)) return false;
  files_.push_back(std::move(held));
  return true;
}

// The profile writer opens the file by name for reading and writing and rewrites it
// in place (Wine's shares reading, writing and deletion to read it, reading and
// writing to rewrite it); this handle, reading only and sharing both, lets it.
bool HeldFiles::CreateForProfileWrites(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  files_.emplace_back(reinterpret_cast<intptr_t>(file));
  return true;
}

bool OthersCanReplaceFoldersIn(const std::wstring&) { return false; }

bool BelongsToAnotherUser(const std::wstring&) { return false; }

FolderInUse::~FolderInUse() = default;

void FolderInUse::Release() { folder_.Close(); }

bool FolderInUse::Create(const std::wstring& folder) {
  Release();
  if (!CreateFolder(folder)) return false;
  SetAttributesNormal(folder);
  if (!PathExists(folder) || !Hold(folder)) {
    // Unheld, another launcher could take the empty folder for its own leftover.
    const int error = LastError();
    RemoveFolder(folder);
    SetLastError(error);
    return false;
  }
  path_ = WithSeparator(folder);
  return true;
}

bool FolderInUse::CreateFresh(const std::wstring& directory, const std::wstring& prefix) {
  const std::wstring base = WithSeparator(directory) + prefix;
  for (unsigned n = 0; n < kFreshNameAttempts; ++n) {
    if (Create(base + Decimal(GetTickCount() + n))) return true;
    if (LastError() != kErrorAlreadyExists) return false;
  }
  return false;
}

bool FolderInUse::StillHeld() const {
  if (folder_) return true;
  SetLastError(kErrorInvalidHandle);
  return false;
}

bool FolderInUse::RemoveAndRelease() {
  Release();
  return RemoveFolder(path_);
}

}  // namespace platform
