// Fault injection for whole runs of the Linux launcher: fails the system call SFX_FAULT names.
// Preloaded into the launcher, it provokes the failures a healthy system never gives.
//
// SFX_FAULT="call:name" or "call:name:n", where call is one of
//   close     the file is closed, then ENOSPC is reported (a write the system deferred)
//   flock     the lock is not taken: ENOLCK
//   read      nothing is read: EIO
//   addchdir  posix_spawn_file_actions_addchdir_np records nothing: ENOMEM
//   replace   once the positioned read (pread) is done, the file SFX_REPLACE_WITH is
//             renamed over the file read: another file takes the path mid-run
// name is the last component of the path the call concerns, and n makes only the
// n-th such call fail (every one without it).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
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
  return length - start == strlen(g_name) && strncmp(path + start, g_name, length - start) == 0;
}

// Whether this call is the one to fail; counts the calls that match.
static int Fails(const char* call, const char* path) {
  if (strcmp(g_call, call) != 0 || path == NULL || !NamesTheFaultsPath(path)) return 0;
  ++g_matches;
  return g_nth == 0 || g_matches == g_nth;
}

// The path of the file fd is open on, into path; false when unknown.
static int PathOf(int fd, char* path, size_t size) {
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, path, size - 1);
  if (length < 0) return 0;
  path[length] = '\0';
  return 1;
}

static int FailsOnDescriptor(const char* call, int fd) {
  if (strcmp(g_call, call) != 0) return 0;
  char path[4096];
  return PathOf(fd, path, sizeof path) && Fails(call, path);
}

static void* Next(const char* symbol) { return dlsym(RTLD_NEXT, symbol); }

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

ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) {
  static ssize_t (*next)(int, void*, size_t, off_t);
  if (next == NULL) next = (ssize_t(*)(int, void*, size_t, off_t))Next("pread64");
  const ssize_t result = next(fd, buffer, count, offset);
  char path[4096];
  const char* with = getenv("SFX_REPLACE_WITH");
  if (with != NULL && strcmp(g_call, "replace") == 0 && PathOf(fd, path, sizeof path) && Fails("replace", path)) {
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
