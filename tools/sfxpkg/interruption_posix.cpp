// Interruptions on POSIX: a signal handler that unlinks the registered files.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cstring>

#include "interruption.h"

namespace sfxpkg {
namespace {

constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr int kSlots = 4;
constexpr size_t kPathCapacity = 4096;

// Written before a slot is marked used and never while it is: the handler reads only
// what a used slot holds. Lock-free atomics are safe to read in a handler.
char g_paths[kSlots][kPathCapacity];
std::atomic<bool> g_used[kSlots];
char g_notice[128];
std::atomic<size_t> g_noticeLength{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<size_t>::is_always_lock_free);

// Only async-signal-safe calls: unlink, write, signal, raise.
extern "C" void OnSignal(int signalNumber) {
  bool removed = false;
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i].load() && unlink(g_paths[i]) == 0) removed = true;
  }
  const size_t length = g_noticeLength.load();
  if (removed && length > 0 && signalNumber != SIGPIPE) {
    const ssize_t ignored = write(STDERR_FILENO, g_notice, length);
    (void)ignored;
  }
  // Ends as the signal would have ended it, so the shell sees which one.
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

sigset_t HandledSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int number : kHandledSignals) sigaddset(&set, number);
  return set;
}

}  // namespace

void HandleInterruptions(const std::string& command) {
  const std::string notice = "sfxpkg " + command + ": interrupted: its unfinished files are removed\n";
  const size_t length = std::min(notice.size(), sizeof g_notice);
  std::memcpy(g_notice, notice.data(), length);
  g_noticeLength.store(length);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // The handler runs once: a second signal meanwhile waits for the default action.
  action.sa_mask = HandledSet();
  for (const int number : kHandledSignals) {
    struct sigaction previous {};
    // A signal ignored by whoever started us (nohup, a shell's background job) stays ignored.
    if (sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    // Where it cannot be set, the default action stays: nothing worse than before.
    if (sigaction(number, &action, nullptr) != 0) continue;
  }
}

RemovedOnInterruption::RemovedOnInterruption(const std::filesystem::path& path) {
  const std::string text = path.string();
  if (text.size() >= kPathCapacity) return;  // no such path can be opened either
  HoldInterruptions(true);
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i].load()) continue;
    std::memcpy(g_paths[i], text.c_str(), text.size() + 1);
    g_used[i].store(true);
    slot_ = i;
    break;
  }
  HoldInterruptions(false);
}

RemovedOnInterruption::~RemovedOnInterruption() { Release(); }

void RemovedOnInterruption::Release() {
  if (slot_ >= 0) g_used[slot_].store(false);
  slot_ = -1;
}

void RemovedOnInterruption::HoldInterruptions(bool hold) {
  // The mask as it was before the hold comes back after it (holds do not nest).
  static sigset_t before;
  if (hold) {
    const sigset_t set = HandledSet();
    if (pthread_sigmask(SIG_BLOCK, &set, &before) != 0) sigemptyset(&before);
  } else if (pthread_sigmask(SIG_SETMASK, &before, nullptr) != 0) {
    // Only an invalid mask fails, and before came from the system.
  }
}

bool Interrupted() { return false; }

}  // namespace sfxpkg
