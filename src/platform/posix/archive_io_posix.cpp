#include <cerrno>

#include "platform/archive_io.h"
#include "platform/posix/errors_posix.h"
#include "platform/utf8.h"

namespace platform {

unzFile OpenZipArchive(const std::wstring& path) {
  zlib_filefunc64_def functions;
  fill_fopen64_filefunc(&functions);
  errno = 0;
  unzFile archive = unzOpen2_64(WideToUtf8(path).c_str(), &functions);
  // Leave the reason a failed open had where the error report looks for it.
  if (archive == nullptr && errno != 0) FailWithErrno();
  return archive;
}

}  // namespace platform
