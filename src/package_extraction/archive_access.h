// The run's archive handle: opened once, used by the four extractions, closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "unzip.h"

namespace package {

// The open archive of a run, from the process heap.
struct ArchiveHandle {
  unzFile archive;
  unz_global_info globalInfo;
};

// Opens the zip archive inside the file at path (the package itself), which ends
// at archiveEnd, the first byte of the package trailer. On failure "Corrupt
// archive!" has been reported and none is returned.
ArchiveHandle* OpenArchive(const std::wstring& path, uint64_t archiveEnd);

// Closes the archive and releases the handle; nothing for none. Returns what
// ProcessHeapFree returns for the record.
int CloseArchive(ArchiveHandle* handle);

// A block of the process heap, zero-filled when asked, or none.
void* ProcessHeapAlloc(size_t size, bool zeroFill);
// 0 on success and for none; a failure in its HRESULT form (0x8007xxxx).
int ProcessHeapFree(void* block);

}  // namespace package
