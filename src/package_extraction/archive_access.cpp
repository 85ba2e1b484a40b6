// Opening and closing the run's archive, with the box for one that cannot be opened.
#include "package_extraction/archive_access.h"

#include "package/bounded_archive.h"
#include "package_extraction/fatal_error.h"
#include "package/user_texts.h"
#include "platform/platform.h"

namespace package {

void* ProcessHeapAlloc(size_t size, bool zeroFill) { return platform::HeapAllocate(size, zeroFill); }

int ProcessHeapFree(void* block) {
  if (block == nullptr || platform::HeapRelease(block)) return 0;
  const int error = platform::LastError();
  return error > 0 ? static_cast<int>(0x80070000u | (static_cast<unsigned>(error) & 0xFFFFu)) : error;
}

ArchiveHandle* OpenArchive(const std::wstring& path, uint64_t archiveEnd) {
  auto* handle = static_cast<ArchiveHandle*>(ProcessHeapAlloc(sizeof(ArchiveHandle), true));
  if (handle == nullptr) return nullptr;
  handle->archive = OpenArchiveBefore(path, archiveEnd);
  if (unzGetGlobalInfo(handle->archive, &handle->globalInfo) != UNZ_OK) {
    ReportFatalError(texts::kCorruptArchive, platform::kErrorInstallPackageInvalid);
    ProcessHeapFree(handle);
    return nullptr;
  }
  return handle;
}

int CloseArchive(ArchiveHandle* handle) {
  if (handle == nullptr) return 0;
  unzCloseCurrentFile(handle->archive);
  unzClose(handle->archive);
  return ProcessHeapFree(handle);
}

}  // namespace package
