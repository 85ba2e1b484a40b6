// The narrow operating-system layer. Everything the launcher needs from the system
// goes through these functions; win32/ calls the Win32 API, posix/ gives the same
// results on POSIX hosts, Windows error numbers included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Windows error numbers, the result codes of every operation.
enum ErrorCode : int {
  kErrorSuccess = 0,
  kErrorInvalidFunction = 1,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorTooManyOpenFiles = 4,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorOutOfMemory = 14,
  kErrorWriteProtect = 19,
  kErrorWriteFault = 29,
  kErrorReadFault = 30,
  kErrorSharingViolation = 32,
  kErrorHandleDiskFull = 39,
  kErrorNotSupported = 50,
  kErrorFileExists = 80,
  kErrorInvalidPassword = 86,
  kErrorInvalidParameter = 87,
  kErrorDiskFull = 112,
  kErrorDirNotEmpty = 145,
  kErrorBusy = 170,
  kErrorAlreadyExists = 183,
  kErrorFilenameExcedRange = 206,
  kErrorNegativeSeek = 131,
  kErrorDirectory = 267,
  kErrorCantResolveFilename = 1921,
  kErrorInstallFailure = 1603,
  kErrorInstallPackageInvalid = 1620,
};

// The separator that the launcher puts between folders of a path it forms.
extern const wchar_t kPathSeparator;

// --- The running program ------------------------------------------------------

struct OsVersion {
  uint32_t platformId = 0;  // 2 is the NT family
  uint32_t major = 0;
  uint32_t minor = 0;
};
// The system's version report; all zero when the query fails.
OsVersion QueryOsVersion();

// Full path of the running program's own file ("" when the system cannot tell).
std::wstring ModuleFileName();

// The program's arguments as the runtime library splits them, argument 0 first.
std::vector<std::wstring> CommandLineArguments();

// True for an argument that starts with a switch character but is a path, not a
// switch: on POSIX "/var/log/setup.log". Never true on Windows.
bool IsPathArgument(const std::wstring& argument);

// Splits a path into drive ("X:" or empty), directory (up to and including the last
// separator), file name and extension (from the last dot on).
struct PathParts {
  std::wstring drive, directory, fileName, extension;
};
PathParts SplitPath(const std::wstring& path);

// --- Files and folders ----------------------------------------------------------

// The user's temporary directory as the system reports it ("" on failure).
std::wstring TempDirectory();

bool CreateFolder(const std::wstring& path);   // the new folder is private to its owner on POSIX
bool RemoveFolder(const std::wstring& path);   // only an empty folder
bool RemoveFile(const std::wstring& path);
bool SetAttributesNormal(const std::wstring& path);
bool PathExists(const std::wstring& path);

// A file opened for reading that others may go on reading and writing.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool Open(const std::wstring& path);
  void Close();
  bool IsOpen() const;
  std::optional<uint64_t> Size() const;
  // Reads up to count bytes at offset; returns how many arrived (0 on failure).
  size_t ReadAt(uint64_t offset, void* buffer, size_t count);
  // How many reads this object has issued, for tests that bound the I/O.
  unsigned ReadCount() const { return reads_; }

 private:
  intptr_t handle_ = -1;
  unsigned reads_ = 0;
};

// --- Errors ----------------------------------------------------------------------

int LastError();
void SetLastError(int code);
// The system's text for an error code, in the user's language ("" when it has none).
std::wstring SystemErrorText(int code);

// --- Text -------------------------------------------------------------------------

// The system's 8-bit code page: the ANSI code page on Windows, UTF-8 on POSIX.
// Characters the code page lacks become its default character.
std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);

// --- Message boxes ------------------------------------------------------------------

enum MessageBoxStyle : unsigned {
  kMbOk = 0x0,
  kMbIconHand = 0x10,
  kMbServiceNotification = 0x200000,
};

struct MessageBoxRequest {
  std::wstring text;
  std::optional<std::wstring> caption;  // none: the system's default caption
  unsigned style = kMbOk;
};

// Every box of the program passes through here. A handler set with
// SetMessageBoxHandler (tests use a recorder) replaces the system's box.
int ShowMessageBox(const MessageBoxRequest& request);
using MessageBoxHandler = int (*)(const MessageBoxRequest&);
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
// The system's own box: a real window on Windows, standard error on POSIX.
int SystemMessageBox(const MessageBoxRequest& request);

}  // namespace platform
