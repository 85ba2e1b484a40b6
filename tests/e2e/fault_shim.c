// Fault injection for whole runs of the Linux launcher: fails the system call SFX_FAULT names.
// Preloaded into the launcher, it provokes the failures a healthy system never gives.
//
// SFX_FAULT="call:name" or "call:name:n", where call is one of
//   close     the file is closed, then ENOSPC is reported (a write the system deferred)
//   flock     the lock is not taken: ENOLCK
//   read      nothing is read: EIO
//   addchdir  posix_spawn_file_actions_addchdir_np (or addfchdir_np) records nothing: ENOMEM
//   swap      before the file is opened, its folder is renamed to "<folder>.moved" and
//             an empty folder of the same name put in its place; the open goes on
//   replace   once the positioned read (pread) is done, the file SFX_REPLACE_WITH is
//             renamed over the file read: another file takes the path mid-run
//   plant     before the file is opened, a hard link to the file SFX_PLANT_TARGET is
//             made at its path, as by someone who got in after its name was cleared
// name is the last component of the path the call concerns ("name*": any that
// begins with name), and n makes only the n-th such call fail (every one without it).
#define _GNU_SOURCE
// open and open64 are each interposed under their own names.
#undef _FILE_OFFSET_BITS
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static char g_call[16];
static char g_name[256];
static long g_nth;
static long g_matches;

__attribute__((constructor)) static void ReadFault(void) {
  const char* fault = getenv("SFX_FAULT");
  if (fault != NULL) {
    char nth[32] = "";
    // The format's widths are the buffers' sizes less their terminators.
    if (sscanf(fault, "%15[^:]:%255[^:]:%31s", g_call, g_name, nth) < 2) g_call[0] = '\0';
    g_nth = atol(nth);
  }
  // The fault is the launcher's own: the setup engine it starts runs unhindered.
  unsetenv("SFX_FAULT");
  unsetenv("LD_PRELOAD");
}

// True when path's last component (a trailing slash aside) is the name given.
static int NamesTheFaultsPath(const char* path) {
  size_t length = strlen(path);
  while (length > 1 && path[length - 1] == '/') --length;
  size_t start = length;
  while (start > 0 && path[start - 1] != '/') --start;
  const size_t nameLength = strlen(g_name);
  if (nameLength > 0 && g_name[nameLength - 1] == '*') {
    return length - start >= nameLength - 1 && strncmp(path + start, g_name, nameLength - 1) == 0;
  }
  return length - start == nameLength && strncmp(path + start, g_name, length - start) == 0;
}

// Whether this call is the one to fail; counts the calls that match.
static int Fails(const char* call, const char* path) {
  if (strcmp(g_call, call) != 0 || path == NULL || !NamesTheFaultsPath(path)) return 0;
  ++g_matches;
  return g_nth == 0 || g_matches == g_nth;
}

static int DescriptorPath(int fd, char* path, size_t size);

static int FailsOnDescriptor(const char* call, int fd) {
  char path[4096];
  return strcmp(g_call, call) == 0 && DescriptorPath(fd, path, sizeof path) && Fails(call, path);
}


static void* Next(const char* symbol) { return dlsym(RTLD_NEXT, symbol); }

// The path a descriptor stands for; false when the system cannot tell it.
static int DescriptorPath(int fd, char* path, size_t size) {
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, path, size - 1);
  if (length < 0) return 0;
  path[length] = '\0';
  return 1;
}

// Swaps the folder that holds path (relative ones from folder) for an empty one.
static void SwapFolderOf(int folder, const char* path) {
  char full[8192];
  if (path[0] == '/') {
    snprintf(full, sizeof full, "%s", path);
  } else {
    char base[4096];
    if (!DescriptorPath(folder, base, sizeof base)) return;
    snprintf(full, sizeof full, "%s/%s", base, path);
  }
  char* slash = strrchr(full, '/');
  if (slash == NULL || slash == full) return;
  *slash = '\0';
  char moved[8192 + 8];
  snprintf(moved, sizeof moved, "%s.moved", full);
  if (rename(full, moved) == 0) mkdir(full, 0700);
}

// Every open goes on as an openat: with 64-bit file offsets the launcher's opens are
// open64 and openat64.
static int OpenThrough(const char* symbol, int folder, const char* path, int flags, mode_t mode) {
  if (Fails("swap", path)) SwapFolderOf(folder, path);
  const char* target = getenv("SFX_PLANT_TARGET");
  if (target != NULL && Fails("plant", path)) linkat(AT_FDCWD, target, folder, path, 0);
  int (*next)(int, const char*, int, ...) = (int (*)(int, const char*, int, ...))Next(symbol);
  return next(folder, path, flags, mode);
}

#define SFX_OPEN_MODE(flags, mode)                                          \
  mode_t mode = 0;                                                          \
  if (((flags) & (O_CREAT | O_TMPFILE)) != 0) {                              \
    va_list arguments;                                                      \
    va_start(arguments, flags);                                             \
    mode = (mode_t)va_arg(arguments, int);                                  \
    va_end(arguments);                                                      \
  }

int openat(int folder, const char* path, int flags, ...) {
  SFX_OPEN_MODE(flags, mode)
  return OpenThrough("openat", folder, path, flags, mode);
}
int openat64(int folder, const char* path, int flags, ...) {
  SFX_OPEN_MODE(flags, mode)
  return OpenThrough("openat64", folder, path, flags, mode);
}
int open(const char* path, int flags, ...) {
  SFX_OPEN_MODE(flags, mode)
  return OpenThrough("openat", AT_FDCWD, path, flags, mode);
}
int open64(const char* path, int flags, ...) {
  SFX_OPEN_MODE(flags, mode)
  return OpenThrough("openat64", AT_FDCWD, path, flags, mode);
}

int close(int fd) {
  static int (*next)(int);
  if (next == NULL) next = (int (*)(int))Next("close");
  const int fails = FailsOnDescriptor("close", fd);
  const int result = next(fd);
  if (!fails || result != 0) return result;
  errno = ENOSPC;
  return -1;
}

int flock(int fd, int operation) {
  static int (*next)(int, int);
  if (next == NULL) next = (int (*)(int, int))Next("flock");
  if (FailsOnDescriptor("flock", fd)) {
    errno = ENOLCK;
    return -1;
  }
  return next(fd, operation);
}

ssize_t read(int fd, void* buffer, size_t count) {
  static ssize_t (*next)(int, void*, size_t);
  if (next == NULL) next = (ssize_t(*)(int, void*, size_t))Next("read");
  if (FailsOnDescriptor("read", fd)) {
    errno = EIO;
    return -1;
  }
  return next(fd, buffer, count);
}

ssize_t pread64(int fd, void* buffer, size_t count, off64_t offset) {
  static ssize_t (*next)(int, void*, size_t, off64_t);
  if (next == NULL) next = (ssize_t(*)(int, void*, size_t, off64_t))Next("pread64");
  const ssize_t result = next(fd, buffer, count, offset);
  char path[4096];
  const char* with = getenv("SFX_REPLACE_WITH");
  if (with != NULL && strcmp(g_call, "replace") == 0 && DescriptorPath(fd, path, sizeof path) && Fails("replace", path)) {
    rename(with, path);
  }
  return result;
}

int posix_spawn_file_actions_addchdir_np(posix_spawn_file_actions_t* actions, const char* path) {
  static int (*next)(posix_spawn_file_actions_t*, const char*);
  if (next == NULL)
    next = (int (*)(posix_spawn_file_actions_t*, const char*))Next("posix_spawn_file_actions_addchdir_np");
  if (Fails("addchdir", path)) return ENOMEM;
  return next(actions, path);
}

int posix_spawn_file_actions_addfchdir_np(posix_spawn_file_actions_t* actions, int folder) {
  static int (*next)(posix_spawn_file_actions_t*, int);
  if (next == NULL) next = (int (*)(posix_spawn_file_actions_t*, int))Next("posix_spawn_file_actions_addfchdir_np");
  if (FailsOnDescriptor("addchdir", folder)) return ENOMEM;
  return next(actions, folder);
}
