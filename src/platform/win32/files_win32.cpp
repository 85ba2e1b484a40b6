// The 8-bit path and file calls, memory and the process heap.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "platform/platform.h"

namespace platform {

size_t FullPathAnsi(const char* path, char* buffer, size_t bufferSize) {
  return GetFullPathNameA(path, static_cast<DWORD>(bufferSize), buffer, nullptr);
}

bool PathExistsAnsi(const char* path) { return PathFileExistsA(path) != FALSE; }

bool SetAttributesNormalAnsi(const char* path) { return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != FALSE; }

bool RemoveFileAnsi(const char* path) { return DeleteFileA(path) != FALSE; }

bool CreateFolderTreeAnsi(const char* path) {
  return SHCreateDirectoryExA(nullptr, path, nullptr) == ERROR_SUCCESS;
}

// Read sharing lets HeldFiles::Keep open the file it holds while this writer is still
// open; nobody can write, rename or delete it meanwhile. The extraction's file is a
// new one too: whatever stood at its path was deleted just before, and a hard link
// planted there since is not written through. (Under Wine, a file that
// CREATE_ALWAYS made is also flushed to disk when it is closed: 30-50 ms for 100 MB
// on ext4.)
bool OutputFile::Create(const char* path) { return CreateNew(FromAnsi(path)); }

bool OutputFile::CreateNew(const std::wstring& path) {
  Close();
  size_ = 0;
  // CREATE_NEW fails on anything at path, a symbolic link or junction included.
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_ = UniqueHandle(reinterpret_cast<intptr_t>(file));
  path_ = path;
  return true;
}

bool OutputFile::AllowOwnerToRun() { return true; }

bool OutputFile::Write(const void* data, size_t count, size_t& written) {
  DWORD stored = 0;
  const BOOL ok = WriteFile(reinterpret_cast<HANDLE>(file_.Get()), data, static_cast<DWORD>(count), &stored, nullptr);
  written = stored;
  size_ += stored;
  return ok != FALSE;
}

bool AllowOwnerToRun(const std::wstring&) { return true; }

CommittedBuffer::CommittedBuffer(size_t size)
    : data_(static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE))),
      size_(data_ != nullptr ? size : 0) {}

void CommittedBuffer::Release() {
  if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
  data_ = nullptr;
  size_ = 0;
}

void* HeapAllocate(size_t size, bool zeroFill) {
  return HeapAlloc(GetProcessHeap(), zeroFill ? HEAP_ZERO_MEMORY : 0, size);
}

bool HeapRelease(void* block) { return HeapFree(GetProcessHeap(), 0, block) != FALSE; }

}  // namespace platform
