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
  kErrorNotSupported = 50,
  kErrorInvalidPassword = 86,
  kErrorInvalidParameter = 87,
  kErrorDiskFull = 112,
  kErrorDirNotEmpty = 145,
  kErrorBusy = 170,
  kErrorAlreadyExists = 183,
  kErrorFilenameExcedRange = 206,
  kErrorBadExeFormat = 193,
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

// The process's whole command line, program path included: as the system reports it
// on Windows; on POSIX rebuilt from the arguments, quoted so that the Windows rules
// split it back into the same arguments.
std::wstring CommandLine();

// Quotes an argument so that the Windows runtime's rules split it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

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
// Removes an empty folder unless another launcher holds it (see FolderInUse).
bool RemoveLeftoverFolder(const std::wstring& path);
bool RemoveFolder(const std::wstring& path);   // only an empty folder
bool RemoveFile(const std::wstring& path);
bool SetAttributesNormal(const std::wstring& path);
bool PathExists(const std::wstring& path);

// Launchers of one user started at the same moment must not choose the same
// working folder: the choice and the creation happen under this lock, and the
// chosen folder is then held in use for the run. A lock that cannot be had within
// a few seconds is given up on rather than waited for.
class FolderChoiceLock {
 public:
  FolderChoiceLock();
  ~FolderChoiceLock();
  FolderChoiceLock(const FolderChoiceLock&) = delete;
  FolderChoiceLock& operator=(const FolderChoiceLock&) = delete;

 private:
  intptr_t handle_ = -1;
};

// Keeps other launchers from taking a working folder that is still empty for a
// leftover while it lives.
class FolderInUse {
 public:
  FolderInUse() = default;
  ~FolderInUse();
  FolderInUse(const FolderInUse&) = delete;
  FolderInUse& operator=(const FolderInUse&) = delete;

  bool Hold(const std::wstring& folder);
  void Release();

 private:
  intptr_t handle_ = -1;
};

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

// --- 8-bit paths -------------------------------------------------------------------
// The extraction core works on paths in the system's 8-bit code page, in fixed
// buffers of kMaxPathBytes.

inline constexpr size_t kMaxPathBytes = 260;  // MAX_PATH, terminator included

// Makes path absolute into buffer: the length on success, the size needed
// (terminator included) when the buffer is too small, 0 on failure.
size_t FullPathAnsi(const char* path, char* buffer, size_t bufferSize);
bool PathExistsAnsi(const char* path);  // true for a folder too
bool SetAttributesNormalAnsi(const char* path);
bool RemoveFileAnsi(const char* path);
// Creates a folder and every missing folder above it.
bool CreateFolderTreeAnsi(const char* path);

// A file created for writing (replacing any file of that name) that nobody else may
// open while it is written. Private to its owner on POSIX.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(const char* path);
  // False when the system reports a failure; written is what it stored.
  bool Write(const void* data, size_t count, size_t& written);
  void Close();

 private:
  intptr_t handle_ = -1;
};

// Lets the owner of a file run it (POSIX); Windows runs any file it may read.
bool AllowOwnerToRun(const std::wstring& path);

// --- Memory ---------------------------------------------------------------------------

// Fresh committed, zero-filled read/write pages of the system, released on destruction.
class CommittedBuffer {
 public:
  CommittedBuffer() = default;
  explicit CommittedBuffer(size_t size);
  ~CommittedBuffer();
  CommittedBuffer(CommittedBuffer&& other) noexcept;
  CommittedBuffer& operator=(CommittedBuffer&& other) noexcept;
  CommittedBuffer(const CommittedBuffer&) = delete;
  CommittedBuffer& operator=(const CommittedBuffer&) = delete;

  explicit operator bool() const { return data_ != nullptr; }
  char* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  void Release();
  char* data_ = nullptr;
  size_t size_ = 0;
};

// The process heap: a block, zero-filled when asked, or none.
void* HeapAllocate(size_t size, bool zeroFill);
bool HeapRelease(void* block);

// --- Profile files ------------------------------------------------------------------

// Sets key to value in section of the profile file at path, creating the file and
// the section when they are missing. The Win32 profile API on Windows; on POSIX the
// same bytes for ASCII text, UTF-8 otherwise.
bool WriteProfileEntry(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                        const std::wstring& path);

// --- Processes ----------------------------------------------------------------------

class ProcessHandle {
 public:
  ProcessHandle() = default;
  ~ProcessHandle();
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;

  // Starts program (the shell's "open" on Windows, a direct start on POSIX) with
  // the parameters in directory. False, with the last error set, when it fails.
  bool Start(const std::wstring& program, const std::wstring* parameters, const std::wstring& directory,
             int showMode, bool keepHandle);
  bool HasProcess() const { return handle_ != 0; }
  // True once the process has ended; false when the wait itself failed.
  bool WaitForEnd();
  // The ended process's exit code; false, with the last error set, when unreadable.
  bool ExitCode(uint32_t& code);
  void Close();

 private:
  intptr_t handle_ = 0;
  int status_ = 0;
  bool ended_ = false;
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
