// The narrow operating-system layer: one function per system service. win32/ calls
// the Win32 API, posix/ gives the same results on POSIX hosts, Windows error numbers
// included. It knows nothing of its callers: names and paths come from them.
#pragma once

#include <atomic>
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
  kErrorOpenFailed = 110,
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
  kErrorBadFileType = 222,
  kErrorNoUnicodeTranslation = 1113,
  kErrorBadExeFormat = 193,
  kErrorCantResolveFilename = 1921,
  kErrorInstallFailure = 1603,
  kErrorInstallPackageInvalid = 1620,
  kErrorOldWinVersion = 1150,
};

// n in decimal, as "%lu" writes it.
std::wstring Decimal(unsigned long n);

// The separator between the folders of a path.
extern const wchar_t kPathSeparator;

// True where a process's exit status holds a whole Windows error code (Windows);
// a POSIX exit status holds 8 bits.
extern const bool kExitStatusHoldsErrorCodes;

// A system handle (a Win32 HANDLE, a POSIX file descriptor) that closes itself.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(intptr_t value) : value_(value) {}
  ~UniqueHandle() { Close(); }
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.value_) { other.value_ = kNone; }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Close();
      value_ = other.value_;
      other.value_ = kNone;
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  explicit operator bool() const { return value_ != kNone; }
  intptr_t Get() const { return value_; }
  // Closes the handle now. False, with the last error set, when the system reports
  // a failure; having nothing to close is none.
  bool Close();

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t value_ = kNone;
};

// --- The running program ------------------------------------------------------

struct OsVersion {
  uint32_t platformId = 0;  // 2 is the NT family
  uint32_t major = 0;
  uint32_t minor = 0;
};
// The system's version report; all zero when the query fails.
OsVersion QueryOsVersion();

// Full path of the running program's own file ("" when the system cannot tell it
// whole).
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

// The new folder is private: on POSIX mode 0700; on Windows its own protected DACL
// (PrivateFolderSddl) instead of the entries of the folder that holds it.
bool CreateFolder(const std::wstring& path);
// The DACL of a private folder for the user of userSid: the user alone, or, for a
// process that runs elevated or as SYSTEM, the user, SYSTEM and the Administrators,
// and where the system has integrity levels (Vista on) a high mandatory label that
// lets no lower process write in it.
std::wstring PrivateFolderSddl(const std::wstring& userSid, bool elevatedOrSystem, bool integrityLevels);
// Removes an empty folder unless another process holds it (see FolderInUse).
bool RemoveLeftoverFolder(const std::wstring& path);
bool RemoveFolder(const std::wstring& path);   // only an empty folder
bool RemoveFile(const std::wstring& path);
bool SetAttributesNormal(const std::wstring& path);
bool PathExists(const std::wstring& path);
// Appends bytes to the file at path, creating the file, and the folders above it,
// where missing. False when they could not all be written.
bool AppendToFile(const std::wstring& path, const std::string& bytes);

// True, with the last error set, when others could rename or remove what this user
// creates in directory, and so swap a folder made there for one of theirs: on POSIX
// a directory that another user may write to without the sticky bit, or that
// belongs to a user other than this one and root. Never on Windows, whose
// temporary directory is the user's own.
bool OthersCanReplaceFoldersIn(const std::wstring& directory);
// True for an entry that belongs to another user (POSIX); never on Windows.
bool BelongsToAnotherUser(const std::wstring& path);

// A lock among the processes of one user on choosing and creating folders in
// directory: a named mutex (name) on Windows, given up on rather than waited for when
// it cannot be had within a few seconds. Nothing on POSIX, where a folder is held
// before it takes its name (see FolderInUse::Create), so that no lock is needed and
// none is taken that another user could hold.
class FolderChoiceLock {
 public:
  FolderChoiceLock(const std::wstring& directory, const std::wstring& name);
  ~FolderChoiceLock();
  FolderChoiceLock(const FolderChoiceLock&) = delete;
  FolderChoiceLock& operator=(const FolderChoiceLock&) = delete;

 private:
  UniqueHandle lock_;
};

class OutputFile;

// Holds a folder in use while it lives, so that RemoveLeftoverFolder of another
// process leaves it alone even while it is empty. On POSIX every path inside the
// held folder is reached through the folder held, never by its name, so that a
// folder renamed or swapped under that name meanwhile receives nothing.
// Files kept as they are while held: on Windows open for reading with read sharing
// only, so nobody (the user's other processes included) can write, replace, rename
// or delete them; the engine may still read and load them. On POSIX the held
// working folder keeps others out already: holding succeeds at once.
class HeldFiles {
 public:
  HeldFiles() = default;
  HeldFiles(const HeldFiles&) = delete;
  HeldFiles& operator=(const HeldFiles&) = delete;

  // False, with the last error set, when path cannot be held (another has it open
  // for writing).
  bool Hold(const std::wstring& path);
  // Closes file, just written by this process, and holds it as Hold does. On Windows
  // nobody can delete, rename or replace it at any moment in between; false, with
  // the last error set, when it cannot be held, or its size is no longer the bytes
  // written (another process wrote to it while its writer gave way to the hold).
  // On POSIX it is closed: false when closing reports a failure.
  bool Keep(OutputFile& file);
  // Creates an empty file at path, where nothing is, for this process's profile
  // writes to fill by name, and holds it so that nobody can delete, rename or
  // replace it meanwhile; others may still write to it, as the profile writer's
  // opens must. Hold(path) then holds it read-only with no moment between. On POSIX
  // nothing (the profile writes create it in the held folder).
  bool CreateForProfileWrites(const std::wstring& path);
  void Release() { files_.clear(); }

 private:
  std::vector<UniqueHandle> files_;
};

class FolderInUse {
 public:
  FolderInUse() = default;
  ~FolderInUse();
  FolderInUse(const FolderInUse&) = delete;
  FolderInUse& operator=(const FolderInUse&) = delete;

  // Creates folder, private to the user (POSIX: owned by the user, mode 0700, no
  // link), and holds it. False, with the last error set, when it cannot be created
  // (kErrorAlreadyExists: something of that name is there) or held; nothing is left
  // behind then. On a POSIX file system that cannot give a held folder its name
  // without the risk of replacing another, the folder keeps a private name of its
  // own beside it (see Path).
  bool Create(const std::wstring& folder);
  // The same under a fresh name in directory that begins with prefix.
  bool CreateFresh(const std::wstring& directory, const std::wstring& prefix);
  // The held folder, with the path separator at its end.
  const std::wstring& Path() const { return path_; }
  // False, with the last error set, when the held folder is no longer the user's
  // private folder under its name.
  bool StillHeld() const;
  // Removes the held folder where it is empty and still under its name, and releases it.
  bool RemoveAndRelease();
  void Release();

 private:
  bool Hold(const std::wstring& folder);  // Windows: an open handle on the folder created
  UniqueHandle folder_;
  UniqueHandle directory_;  // POSIX: the directory that holds the folder
  std::wstring path_;
};

// A file opened for reading that others may go on reading and writing.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool Open(const std::wstring& path);
  // Opens the running program's own file so that what is read of it is what runs,
  // however long it stays open: on Windows shared for reading only (nobody may
  // write, rename or delete it meanwhile); on POSIX the file the process runs from
  // (/proc/self/exe where there is one), so a file put at its path later is not it.
  bool OpenRunningProgram();
  // As Open, for a regular file only: a pipe, a device or a socket is refused with
  // kErrorBadFileType, and the open itself never waits (for a FIFO's writer).
  bool OpenRegular(const std::wstring& path);
  void Close() { file_.Close(); }
  bool IsOpen() const { return static_cast<bool>(file_); }
  std::optional<uint64_t> Size() const;
  // Reads count bytes at offset, fewer only at the end of the file or on a failure
  // (the last error then set); returns how many arrived. One thread at a time: it
  // may move the file's position.
  size_t ReadAt(uint64_t offset, void* buffer, size_t count);
  // How many reads this object has been asked for, for tests that bound the I/O.
  unsigned ReadCount() const { return reads_; }

 private:
  UniqueHandle file_;
  unsigned reads_ = 0;
};

// --- 8-bit paths -------------------------------------------------------------------
// Paths in the system's 8-bit code page, in fixed buffers of kMaxPathBytes.

inline constexpr size_t kMaxPathBytes = 260;  // MAX_PATH, terminator included

// Makes path absolute into buffer: the length on success, the size needed
// (terminator included) when the buffer is too small, 0 on failure.
size_t FullPathAnsi(const char* path, char* buffer, size_t bufferSize);
bool PathExistsAnsi(const char* path);  // true for a folder too
bool SetAttributesNormalAnsi(const char* path);
bool RemoveFileAnsi(const char* path);
// Creates a folder and every missing folder above it.
bool CreateFolderTreeAnsi(const char* path);

// A new file created for writing that others may at most read while it is written.
// Private to its owner on POSIX. HeldFiles::Keep closes it into a held file.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // CreateNew for the extraction's 8-bit path, which it has just cleared: false when
  // something is there again (a link is never written through). On POSIX private
  // to its owner, and reached through the held working folder.
  bool Create(const char* path);
  // A new file at path, created only where nothing is, not even a link (which is
  // never followed): false with kErrorAlreadyExists otherwise. Readable by others
  // as the system's defaults allow.
  bool CreateNew(const std::wstring& path);
  // Lets the file's owner run it (POSIX); Windows runs any file it may read.
  bool AllowOwnerToRun();
  // False when the system reports a failure; written is what it stored.
  bool Write(const void* data, size_t count, size_t& written);
  // False, with the last error set, when closing reports a failure: a write the
  // system had deferred (to a full disk, a network share) did not succeed.
  bool Close() { return file_.Close(); }

 private:
  friend class HeldFiles;
  UniqueHandle file_;
  // Windows: what HeldFiles::Keep checks the held file against.
  std::wstring path_;
  uint64_t size_ = 0;
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

// --- Threads --------------------------------------------------------------------------

// The processors this process may run on: its affinity where the system reports one,
// at least 1.
unsigned UsableProcessorCount();

// A counting semaphore between the threads of this process.
class Semaphore {
 public:
  // Where a waiting thread sleeps on Windows: on a word of memory where the system
  // can (Windows 8 and later, Wine), or always on a Windows semaphore (the only
  // way on XP and 7; the tests take it to check it elsewhere). POSIX: a semaphore.
  enum class Sleeping { kOnWordWhereAvailable, kOnKernelObject };
  explicit Semaphore(unsigned initialCount, Sleeping sleeping = Sleeping::kOnWordWhereAvailable);
  ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

  explicit operator bool() const { return valid_; }
  // Waits until the count is above zero and takes one; false when the wait failed.
  bool Wait();
  bool Post();

 private:
  bool valid_ = false;
#ifdef _WIN32
  // Tokens above 0, threads asleep below. Every wait and release of a Windows
  // semaphore is a system call (under Wine one to its server), so a wait with a
  // token at hand and a post that nobody waits for stay here.
  std::atomic<long> count_;
  std::atomic<long> wakeups_{0};  // tokens posted to sleepers on the word
  void* waitOnWord_ = nullptr;    // RtlWaitOnAddress and RtlWakeAddressSingle, or
  void* wakeWord_ = nullptr;      // none, and sleepers wait on handle_
  void* handle_ = nullptr;
#else
  alignas(16) unsigned char state_[32];  // a sem_t
#endif
};

// A second thread of this process, running function(argument) from a successful
// Start until Join, which waits for it to return (the destructor joins too).
class WorkerThread {
 public:
  using Function = void (*)(void* argument);
  WorkerThread() = default;
  ~WorkerThread() { Join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  bool Start(Function function, void* argument);
  void Join();

 private:
  Function function_ = nullptr;
  void* argument_ = nullptr;
  bool running_ = false;
#ifdef _WIN32
  // The thread's start routine, in the calling convention CreateThread wants.
  static unsigned long __stdcall Run(void* self);
  void* handle_ = nullptr;
#else
  unsigned long thread_ = 0;  // a pthread_t
#endif
};

// --- Profile files ------------------------------------------------------------------

// Sets key to value in section of the profile file at path, creating the file and
// the section when they are missing. The Win32 profile API on Windows; on POSIX the
// same bytes for ASCII text, UTF-8 otherwise.
bool WriteProfileEntry(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                        const std::wstring& path);

// --- Processes ----------------------------------------------------------------------

// A program started without parameters in a normal window, to be waited for.
class ProcessHandle {
 public:
  ProcessHandle() = default;
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;

  // Starts program (the shell's "open" on Windows, a direct start on POSIX) with
  // directory as its current folder. False, with the last error set, when it fails;
  // the Windows shell then shows a box of its own unless quiet.
  bool Start(const std::wstring& program, const std::wstring& directory, bool quiet = false);
  // True once the process has ended; false when the wait itself failed.
  bool WaitForEnd();
  // The ended process's exit code; false, with the last error set, when unreadable.
  bool ExitCode(uint32_t& code);

 private:
  UniqueHandle process_;    // Windows: the process
  intptr_t processId_ = 0;  // POSIX: the child, until it is reaped
  int status_ = 0;
  bool ended_ = false;
};

// --- Errors ----------------------------------------------------------------------

int LastError();
void SetLastError(int code);
// The system's text for an error code, in the user's language ("" when it has none).
std::wstring SystemErrorText(int code);

// --- Text -------------------------------------------------------------------------

// The system's 8-bit code page: the ANSI code page on Windows; on POSIX the bytes
// of names and arguments, UTF-8 where they are UTF-8 (see utf8.h: nothing is lost).
// ToAnsi puts the code page's nearest or default character where it lacks one.
std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);
// The text in the 8-bit code page when every character has a place there; none
// when the code page would have to put another character in its stead.
std::optional<std::string> ToAnsiExact(const std::wstring& text);
// The system's short (8.3) form of an existing path, "" when it gives none; on
// POSIX the path itself.
std::wstring ShortPath(const std::wstring& path);

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
// Hands a box's text to a debugger (DebugView, Wine's debug channel), as every box
// shown does, as "caption: text"; nothing on POSIX, which has no such channel.
void SendToDebugger(const MessageBoxRequest& request);
// The local time as "YYYY-MM-DD HH:MM:SS".
std::string LocalTimeText();

}  // namespace platform
