// Threads, semaphores and the processors a process may use, with POSIX threads.
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "platform/platform.h"

namespace platform {
namespace {

sem_t* AsSemaphore(unsigned char* state) { return std::launder(reinterpret_cast<sem_t*>(state)); }

}  // namespace

unsigned UsableProcessorCount() {
  unsigned count = 0;
#ifdef CPU_COUNT
  // A process pinned to some processors (taskset) may use only those.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) count = static_cast<unsigned>(CPU_COUNT(&set));
#endif
  if (count == 0) {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    count = online > 0 ? static_cast<unsigned>(online) : 1u;
  }
  return count;
}

Semaphore::Semaphore(unsigned initialCount, Sleeping /*sleeping*/) {
  static_assert(sizeof(sem_t) <= sizeof(state_) && alignof(sem_t) <= 16, "state_ holds a sem_t");
  valid_ = sem_init(new (state_) sem_t, 0, initialCount) == 0;
}

Semaphore::~Semaphore() {
  if (valid_) sem_destroy(AsSemaphore(state_));
}

bool Semaphore::Wait() {
  if (!valid_) return false;
  int result;
  do {
    result = sem_wait(AsSemaphore(state_));
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool Semaphore::Post() { return valid_ && sem_post(AsSemaphore(state_)) == 0; }

bool WorkerThread::Start(Function function, void* argument) {
  if (running_) return false;
  static_assert(sizeof(pthread_t) <= sizeof(thread_), "thread_ holds a pthread_t");
  function_ = function;
  argument_ = argument;
  pthread_t thread;
  // The thread reads function_ and argument_ of this object, which cannot move.
  const int started = pthread_create(
      &thread, nullptr,
      [](void* self) -> void* {
        const WorkerThread& worker = *static_cast<const WorkerThread*>(self);
        worker.function_(worker.argument_);
        return nullptr;
      },
      this);
  if (started != 0) return false;
  thread_ = static_cast<unsigned long>(thread);
  running_ = true;
  return true;
}

void WorkerThread::Join() {
  if (!running_) return;
  pthread_join(static_cast<pthread_t>(thread_), nullptr);
  running_ = false;
}

}  // namespace platform
