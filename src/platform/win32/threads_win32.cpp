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

Semaphore::Semaphore(unsigned initialCount) : count_(static_cast<long>(initialCount)) {
  handle_ = CreateSemaphoreW(nullptr, 0, MAXLONG, nullptr);
  valid_ = handle_ != nullptr;
}

Semaphore::~Semaphore() {
  if (valid_) CloseHandle(handle_);
}

bool Semaphore::Wait() {
  if (!valid_) return false;
  if (count_.fetch_sub(1, std::memory_order_acq_rel) > 0) return true;
  return WaitForSingleObject(handle_, INFINITE) == WAIT_OBJECT_0;
}

bool Semaphore::Post() {
  if (!valid_) return false;
  if (count_.fetch_add(1, std::memory_order_acq_rel) >= 0) return true;
  return ReleaseSemaphore(handle_, 1, nullptr) != FALSE;
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
