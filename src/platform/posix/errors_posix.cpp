// errno values as the Windows error numbers the layer reports, and their texts.
#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/errors_posix.h"
#include "platform/utf8.h"

namespace platform {
namespace {
thread_local int t_lastError = 0;

struct ErrnoMapping {
  int error;
  int windowsError;
};

constexpr ErrnoMapping kErrnoMappings[] = {
    {ENOENT, kErrorFileNotFound},     {ENOTDIR, kErrorPathNotFound},
    {EACCES, kErrorAccessDenied},     {EPERM, kErrorAccessDenied},
    {EROFS, kErrorWriteProtect},      {EEXIST, kErrorAlreadyExists},
    {ENOTEMPTY, kErrorDirNotEmpty},   {ENOSPC, kErrorDiskFull},
    {EDQUOT, kErrorDiskFull},         {EFBIG, kErrorDiskFull},
    {ENOMEM, kErrorNotEnoughMemory},  {EMFILE, kErrorTooManyOpenFiles},
    {ENFILE, kErrorTooManyOpenFiles}, {EBADF, kErrorInvalidHandle},
    {EINVAL, kErrorInvalidParameter}, {ENAMETOOLONG, kErrorFilenameExcedRange},
    {EISDIR, kErrorAccessDenied},     {ELOOP, kErrorCantResolveFilename},
    {EBUSY, kErrorBusy},              {ETXTBSY, kErrorSharingViolation},
    {EIO, kErrorReadFault},           {ENOSYS, kErrorNotSupported},
    {ENOEXEC, kErrorBadExeFormat},
};
}  // namespace

int WindowsErrorFromErrno(int error) {
  for (const ErrnoMapping& mapping : kErrnoMappings) {
    if (mapping.error == error) return mapping.windowsError;
  }
  return error == 0 ? kErrorSuccess : kErrorInvalidFunction;
}

bool FailWithErrno() {
  t_lastError = WindowsErrorFromErrno(errno);
  return false;
}

int LastError() { return t_lastError; }
void SetLastError(int code) { t_lastError = code; }

std::wstring SystemErrorText(int code) {
  // The texts Windows gives for the codes a launcher meets; none for the others.
  struct Text {
    int code;
    const char* text;
  };
  static constexpr Text kTexts[] = {
      {kErrorSuccess, "The operation completed successfully."},
      {kErrorInvalidFunction, "Incorrect function."},
      {kErrorFileNotFound, "The system cannot find the file specified."},
      {kErrorPathNotFound, "The system cannot find the path specified."},
      {kErrorTooManyOpenFiles, "The system cannot open the file."},
      {kErrorAccessDenied, "Access is denied."},
      {kErrorInvalidHandle, "The handle is invalid."},
      {kErrorNotEnoughMemory, "Not enough memory resources are available to process this command."},
      {kErrorOutOfMemory, "Not enough memory resources are available to complete this operation."},
      {kErrorWriteProtect, "The media is write protected."},
      {kErrorWriteFault, "The system cannot write to the specified device."},
      {kErrorReadFault, "The system cannot read from the specified device."},
      {kErrorSharingViolation,
       "The process cannot access the file because it is being used by another process."},
      {kErrorDiskFull, "There is not enough space on the disk."},
      {kErrorAlreadyExists, "Cannot create a file when that file already exists."},
      {kErrorDirNotEmpty, "The directory is not empty."},
      {kErrorFilenameExcedRange, "The filename or extension is too long."},
      {kErrorInvalidPassword, "The specified network password is not correct."},
      {kErrorInstallFailure, "Fatal error during installation."},
      {kErrorInstallPackageInvalid,
       "This installation package could not be opened. Contact the application vendor to verify that "
       "this is a valid Windows Installer package."},
  };
  for (const Text& entry : kTexts) {
    if (entry.code == code) return Utf8ToWide(entry.text);
  }
  return std::wstring();
}

}  // namespace platform
