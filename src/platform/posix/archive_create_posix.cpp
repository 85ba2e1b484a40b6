// Apart from the reading side, so that the launcher never links the zip writer.
#include <cerrno>

#include "platform/archive_io.h"
#include "platform/posix/errors_posix.h"
#include "platform/utf8.h"

namespace platform {

zipFile CreateZipArchive(const std::wstring& path) {
  zlib_filefunc64_def functions;
  fill_fopen64_filefunc(&functions);
  errno = 0;
  zipFile archive = zipOpen2_64(WideToBytes(path).c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
  if (archive == nullptr && errno != 0) FailWithErrno();
  return archive;
}

}  // namespace platform
