// Threads, semaphores and the processors a process may use, with kernel32 alone:
// every call here is on Windows XP.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

unsigned UsableProcessorCount() {
  unsigned count = 0;
  // A process started with an affinity (start /affinity, a job) may use only those.
  DWORD_PTR processMask = 0;
  DWORD_PTR systemMask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask)) {
    for (; processMask != 0; processMask &= processMask - 1) ++count;
  }
  if (count == 0) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    count = info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1u;
  }
  return count;
}

namespace {

// Windows 8 and later put a thread to sleep on a word of memory without a kernel
// object (ntdll's RtlWaitOnAddress, which Wine has too): under Wine that is a futex,
// where each wait and release of a semaphore is a call to Wine's server, a round
// trip through another process (a hand-over and back took 80 us there, 30 us on a
// word). Windows XP and 7 have no such call; there the semaphore sleeps on a
// Windows semaphore.
using WaitOnAddressFunction = LONG(WINAPI*)(const volatile void* address, const void* compare, SIZE_T size,
                                            const LARGE_INTEGER* timeout);
using WakeAddressFunction = void(WINAPI*)(const void* address);

}  // namespace

Semaphore::Semaphore(unsigned initialCount, Sleeping sleeping) : count_(static_cast<long>(initialCount)) {
  const HMODULE ntdll = sleeping == Sleeping::kOnWordWhereAvailable ? GetModuleHandleW(L"ntdll.dll") : nullptr;
  if (ntdll != nullptr) {
    waitOnWord_ = reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlWaitOnAddress"));
    wakeWord_ = reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlWakeAddressSingle"));
  }
  if (waitOnWord_ != nullptr && wakeWord_ != nullptr) {
    valid_ = true;
    return;
  }
  waitOnWord_ = wakeWord_ = nullptr;
  handle_ = CreateSemaphoreW(nullptr, 0, MAXLONG, nullptr);
  valid_ = handle_ != nullptr;
}

Semaphore::~Semaphore() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

bool Semaphore::Wait() {
  if (!valid_) return false;
  if (count_.fetch_sub(1, std::memory_order_acq_rel) > 0) return true;
  if (waitOnWord_ == nullptr) return WaitForSingleObject(handle_, INFINITE) == WAIT_OBJECT_0;
  // Asleep until a post leaves this thread a token in wakeups_. The call returns at
  // once when the word is no longer 0, and may return without a post.
  const auto waitOnWord = reinterpret_cast<WaitOnAddressFunction>(waitOnWord_);
  for (;;) {
    long tokens = wakeups_.load(std::memory_order_acquire);
    if (tokens > 0) {
      if (wakeups_.compare_exchange_weak(tokens, tokens - 1, std::memory_order_acq_rel)) return true;
      continue;
    }
    const long none = 0;
    waitOnWord(&wakeups_, &none, sizeof none, nullptr);
  }
}

bool Semaphore::Post() {
  if (!valid_) return false;
  if (count_.fetch_add(1, std::memory_order_acq_rel) >= 0) return true;
  if (wakeWord_ == nullptr) return ReleaseSemaphore(handle_, 1, nullptr) != FALSE;
  wakeups_.fetch_add(1, std::memory_order_acq_rel);
  reinterpret_cast<WakeAddressFunction>(wakeWord_)(&wakeups_);
  return true;
}

bool WorkerThread::Start(Function function, void* argument) {
  if (running_) return false;
  function_ = function;
  argument_ = argument;
  // The thread reads function_ and argument_ of this object, which cannot move.
  handle_ = CreateThread(nullptr, 0, &WorkerThread::Run, this, 0, nullptr);
  running_ = handle_ != nullptr;
  return running_;
}

unsigned long __stdcall WorkerThread::Run(void* self) {
  const WorkerThread& worker = *static_cast<const WorkerThread*>(self);
  worker.function_(worker.argument_);
  return 0;
}

void WorkerThread::Join() {
  if (!running_) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
  running_ = false;
}

}  // namespace platform
