/* The benchmark's setup engine for launcher.exe, and on its own the do-nothing
 * program that times Wine's start-up: notes the moment it started in the file
 * that BENCH_STAMP names and exits at once with 0. Anything appended to the
 * program file (the bulk of a realistic engine) lies after the image, where the
 * loader does not look. Built as a GUI program (-mwindows), like launcher.exe.
 *
 * The stamp is one line: the performance counter, its frequency, and the system
 * time (100 ns since 1601) read right after it. Under Wine the performance counter
 * is Linux's CLOCK_MONOTONIC_RAW in 100 ns units, not CLOCK_MONOTONIC (on the
 * machine this was measured on the two were 282 ms apart), and the precise system
 * time is CLOCK_REALTIME: the two readings of a stamp were apart by the same
 * amount as Python's time.time_ns() and CLOCK_MONOTONIC_RAW read together, to
 * within 10 us. bench/run times runs with the counter and checks each stamp's
 * system time against it, so that a Wine whose counter is something else is
 * noticed rather than measured. */
#define _WIN32_WINNT 0x0602 /* GetSystemTimePreciseAsFileTime; only ever run under Wine */
#include <windows.h>
#include <stdio.h>

int main(void) {
  LARGE_INTEGER counter;
  LARGE_INTEGER frequency;
  FILETIME now;
  QueryPerformanceCounter(&counter);
  GetSystemTimePreciseAsFileTime(&now);
  QueryPerformanceFrequency(&frequency);

  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetEnvironmentVariableW(L"BENCH_STAMP", path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return 0;
  char line[80];
  const int size = snprintf(line, sizeof line, "%lld %lld %llu\n", (long long)counter.QuadPart,
                            (long long)frequency.QuadPart,
                            ((unsigned long long)now.dwHighDateTime << 32) | now.dwLowDateTime);
  HANDLE out = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (out == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  WriteFile(out, line, (DWORD)size, &written, NULL);
  CloseHandle(out);
  return 0;
}
