#include "support/concurrently.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <thread>
#endif

namespace testsupport {

#ifdef _WIN32
namespace {
struct Job {
  const std::function<void(int)>* work;
  int index;
};
DWORD WINAPI RunJob(void* parameter) {
  const Job* job = static_cast<const Job*>(parameter);
  (*job->work)(job->index);
  return 0;
}
}  // namespace

void RunConcurrently(int count, const std::function<void(int)>& work) {
  std::vector<Job> jobs;
  for (int i = 0; i < count; ++i) jobs.push_back(Job{&work, i});
  std::vector<HANDLE> threads;
  for (Job& job : jobs) threads.push_back(CreateThread(nullptr, 0, &RunJob, &job, 0, nullptr));
  WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);
}
#else
void RunConcurrently(int count, const std::function<void(int)>& work) {
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) threads.emplace_back(work, i);
  for (auto& thread : threads) thread.join();
}
#endif

}  // namespace testsupport
