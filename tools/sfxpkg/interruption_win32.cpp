// Interruptions on Windows: the console's control handler asks the work to stop.
#include <windows.h>

#include <atomic>

#include "interruption.h"

namespace sfxpkg {
namespace {

std::atomic<bool> g_interrupted{false};

// Runs on a thread of its own. Returning ends the process for the events other
// than Ctrl-C and Ctrl-Break, so for those it waits for the main thread, which
// stops at its next piece of work, removes its files and exits (the system ends the
// process after a few seconds all the same).
BOOL WINAPI OnConsoleControl(DWORD event) {
  g_interrupted.store(true);
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void HandleInterruptions(const std::string&) {
  // Without a handler Windows ends the program at once, as before.
  if (!SetConsoleCtrlHandler(&OnConsoleControl, TRUE)) return;
}

RemovedOnInterruption::RemovedOnInterruption(const std::filesystem::path&) {}
RemovedOnInterruption::~RemovedOnInterruption() { Release(); }
void RemovedOnInterruption::Release() { slot_ = -1; }
void RemovedOnInterruption::HoldInterruptions(bool) {}

bool Interrupted() { return g_interrupted.load(); }

}  // namespace sfxpkg
