// Apart from the reading side, so that the launcher never links the zip writer.
#include "platform/archive_io.h"

#include "iowin32.h"

namespace platform {

zipFile CreateZipArchive(const std::wstring& path) {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  return zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
}

}  // namespace platform
