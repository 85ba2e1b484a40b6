// A whole run of a package while someone else attacks its working folder: from the
// moment the launcher creates a file there until the engine has started, none of the
// five files can be deleted, renamed or swapped for another, nor, once it is written,
// changed, and the folder cannot be moved away.
//
// Each stretch is short, so the watcher widens them: it pauses the launcher (every
// thread suspended) whenever a new file appears in the folder, while the members are
// extracted, and over and over once setup.cfg exists, which also leaves the launcher
// only short slices to go on in. In every pause before the engine's process exists,
// it tries every way of swapping each of the five files that are there, and of moving
// the folder away. A pause that finds all five refusing writers can only fall between
// the launcher's last hold and its first release; setup.cfg is read there, and the
// engine must find it so.
//
// What it does not show: Wine runs every process as one user and keeps no DACL, so
// whom the folder's DACL keeps out (other users; below high integrity, when elevated)
// cannot be seen here. Under Wine a new file can be added to the folder while it is
// held (a version.dll put there then keeps the engine from starting), as the user
// can on Windows; only the DACL stands against that. setup.cfg can be written to by
// others while the profile API writes it (that API shares it for writing); the
// launcher refuses it then only if a writer still has it open when it is held.
#include <gtest/gtest.h>
#include <windows.h>
// clang-format off
#include <tlhelp32.h>  // after windows.h, whose types it uses
// clang-format on

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "observed_boxes.h"
#include "support/concurrently.h"
#include "support/launcher_package.h"

namespace fs = std::filesystem;

namespace windowstest {
namespace {

constexpr char kPassword[] = "Pa55-word";
constexpr wchar_t kPackageName[] = L"Held Setup.exe";
constexpr char kAttackerBytes[] = "MZ not what the launcher extracted";
constexpr DWORD kWatchLimitMs = 60000;

// The process of that file name that parent started.
DWORD FindChildProcess(DWORD parent, const std::wstring& fileName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  DWORD found = 0;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && found == 0; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, fileName.c_str()) == 0) {
      found = entry.th32ProcessID;
    }
  }
  CloseHandle(snapshot);
  return found;
}

// The threads a process has, opened once: looking them up again for every pause
// would take longer than the stretch the watcher is after.
class ProcessThreads {
 public:
  explicit ProcessThreads(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
      if (entry.th32OwnerProcessID != processId) continue;
      HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
      if (thread != nullptr) threads_.push_back(thread);
    }
    CloseHandle(snapshot);
  }
  ~ProcessThreads() {
    for (HANDLE thread : threads_) CloseHandle(thread);
  }
  ProcessThreads(const ProcessThreads&) = delete;
  ProcessThreads& operator=(const ProcessThreads&) = delete;

  const std::vector<HANDLE>& Handles() const { return threads_; }

 private:
  std::vector<HANDLE> threads_;
};

// The threads stopped for as long as this lives. GetThreadContext waits until a
// thread has really stopped, which SuspendThread alone does not.
class Pause {
 public:
  explicit Pause(const ProcessThreads& threads) {
    for (HANDLE thread : threads.Handles()) {
      if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
        stopped_ = false;  // the thread, and with it the process, has ended
        continue;
      }
      suspended_.push_back(thread);
      CONTEXT context;
      ZeroMemory(&context, sizeof context);
      context.ContextFlags = CONTEXT_CONTROL;
      stopped_ = GetThreadContext(thread, &context) != FALSE && stopped_;
    }
  }
  ~Pause() {
    for (HANDLE thread : suspended_) ResumeThread(thread);
  }
  Pause(const Pause&) = delete;
  Pause& operator=(const Pause&) = delete;

  bool Stopped() const { return !suspended_.empty() && stopped_; }

 private:
  std::vector<HANDLE> suspended_;
  bool stopped_ = true;
};

// True when the file is there and someone has it open in a way that refuses writers.
bool RefusesWriters(const fs::path& file) {
  HANDLE handle =
      CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

bool WriteAttackerFile(const fs::path& path) {
  HANDLE file =
      CreateFileW(path.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, kAttackerBytes, sizeof kAttackerBytes - 1, &written, nullptr);
  return CloseHandle(file) != FALSE && wrote != FALSE && written == sizeof kAttackerBytes - 1;
}

// The ways of putting other bytes under a held file's name that do not write to it
// (that none can is what finds the files held in the first place), as another
// process of the user would try them. spare is the attacker's file, made anew for each.
struct Attack {
  const char* way;
  std::function<bool(const std::wstring& target, const std::wstring& spare)> run;
};

// A file moved away gets the attacker's in its place, as a real swap would.
bool SwapAfterMove(const std::wstring& target, const std::wstring& spare, DWORD flags) {
  if (!MoveFileExW(target.c_str(), (target + L".away").c_str(), flags)) return false;
  MoveFileExW(spare.c_str(), target.c_str(), 0);
  return true;
}

const std::vector<Attack>& Attacks() {
  static const std::vector<Attack> attacks = {
      {"deleted", [](const std::wstring& t, const std::wstring&) { return DeleteFileW(t.c_str()) != FALSE; }},
      {"moved away", [](const std::wstring& t, const std::wstring& s) { return SwapAfterMove(t, s, 0); }},
      {"moved away (replacing)",
       [](const std::wstring& t, const std::wstring& s) { return SwapAfterMove(t, s, MOVEFILE_REPLACE_EXISTING); }},
      {"another moved onto it",
       [](const std::wstring& t, const std::wstring& s) {
         return MoveFileExW(s.c_str(), t.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
       }},
      {"replaced (ReplaceFile)",
       [](const std::wstring& t, const std::wstring& s) {
         return ReplaceFileW(t.c_str(), s.c_str(), nullptr, 0, nullptr, nullptr) != FALSE;
       }},
  };
  return attacks;
}

// The stretches of the run in which the watcher paused the launcher.
enum Stretch { kExtracting, kWritingSettings, kHeldForEngine, kStretches };
constexpr const char* kStretchNames[kStretches] = {"while extracting", "while setup.cfg is written",
                                                   "held for the engine"};

struct WatchResult {
  int pauses[kStretches] = {};  // pauses before the engine's process existed, by stretch
  int heldPauses = 0;  // of those, the ones that found all five files refusing writers
  int attempts = 0;    // attacks made
  std::vector<std::string> successes;
  bool spareFailed = false;  // the attacker's own file could not be written
  bool launcherFound = false;
  std::string settingsWhileHeld;  // setup.cfg as it was read while held
};

// Which of the launcher's files are in the folder now.
std::vector<std::string> FilesThere(const fs::path& folder, const std::vector<std::string>& files) {
  std::vector<std::string> there;
  for (const std::string& name : files) {
    std::error_code absent;
    if (fs::exists(folder / name, absent)) there.push_back(name);
  }
  return there;
}

// Every way of swapping each file there, and of moving the folder away.
void AttackAll(const fs::path& folder, const std::vector<std::string>& there, const fs::path& spare,
               Stretch stretch, WatchResult& watch) {
  for (const std::string& name : there) {
    for (const Attack& attack : Attacks()) {
      if (!WriteAttackerFile(spare)) {
        watch.spareFailed = true;
        continue;
      }
      ++watch.attempts;
      if (attack.run((folder / name).wstring(), spare.wstring())) {
        watch.successes.push_back(name + ": " + attack.way + " " + kStretchNames[stretch]);
      }
    }
  }
  ++watch.attempts;
  const std::wstring folderPath = folder.wstring();
  if (MoveFileExW(folderPath.c_str(), (folderPath + L".away").c_str(), 0)) {
    watch.successes.push_back(std::string("the working folder: moved away ") + kStretchNames[stretch]);
  }
}

// Watches the launcher's run from its start until its engine has started (or the run ends).
WatchResult Watch(const fs::path& folder, const std::vector<std::string>& files, const fs::path& spare,
                  const std::atomic<bool>& runEnded) {
  WatchResult watch;
  const DWORD start = GetTickCount();
  const auto timeLeft = [&] { return !runEnded && GetTickCount() - start < kWatchLimitMs; };
  DWORD launcher = 0;
  while (timeLeft() && (launcher = FindChildProcess(GetCurrentProcessId(), kPackageName)) == 0) Sleep(1);
  watch.launcherFound = launcher != 0;
  const ProcessThreads threads(launcher);
  size_t seen = 0;
  bool engineStarted = false;
  while (launcher != 0 && timeLeft() && !engineStarted) {
    // The files appear one by one, setup.cfg last: a new one, or setup.cfg there, is
    // the time to pause.
    const std::vector<std::string> appeared = FilesThere(folder, files);
    const bool settingsThere = std::find(appeared.begin(), appeared.end(), "setup.cfg") != appeared.end();
    if (appeared.size() <= seen && !settingsThere) {
      Sleep(1);
      continue;
    }
    seen = appeared.size();
    {
      const Pause paused(threads);
      if (!paused.Stopped()) break;
      // Once the engine's process exists the launcher may let go of its files.
      if (FindChildProcess(launcher, kPackageName) != 0) {
        engineStarted = true;
        break;
      }
      const std::vector<std::string> there = FilesThere(folder, files);
      bool allHeld = there.size() == files.size();
      for (const std::string& name : there) allHeld = allHeld && RefusesWriters(folder / name);
      const bool settingsNow = std::find(there.begin(), there.end(), "setup.cfg") != there.end();
      const Stretch stretch = allHeld ? kHeldForEngine : settingsNow ? kWritingSettings : kExtracting;
      ++watch.pauses[stretch];
      if (allHeld) {
        ++watch.heldPauses;
        watch.settingsWhileHeld = testsupport::ReadFileBytes(folder / "setup.cfg");
      }
      AttackAll(folder, there, spare, stretch, watch);
    }
    Sleep(1);
  }
  return watch;
}

TEST(AttackedRun, NothingTheLauncherHoldsCanBeSwappedBeforeTheEngineStarts) {
  testsupport::LauncherSandbox box;
  const auto content = testsupport::ContentWithTestEngine();
  const fs::path package =
      testsupport::WritePackage(box.Scratch().Path() / kPackageName, testsupport::PackagePayload(content, kPassword));
  const fs::path folder = box.WorkingFolder();
  const std::vector<std::string> files = {"setup.cfg", "setup.dat", fs::path(kPackageName).string(), "Setup_UI.dll",
                                          "Setup_Exp.dll"};

  testsupport::ProgramResult result;
  WatchResult watch;
  std::atomic<bool> runEnded{false};
  testsupport::RunConcurrently(2, [&](int job) {
    if (job == 0) {
      result = box.Start(package);
      runEnded = true;
    } else {
      watch = Watch(folder, files, box.Scratch().Path() / "spare.bin", runEnded);
    }
  });
  std::printf(
      "[ held files ] pauses before the engine's process existed: %d while extracting, %d while setup.cfg is "
      "written, %d with all five held; %d attacks, %d of them succeeded\n",
      watch.pauses[kExtracting], watch.pauses[kWritingSettings], watch.pauses[kHeldForEngine], watch.attempts,
      static_cast<int>(watch.successes.size()));
  RecordProperty("extracting_pauses", watch.pauses[kExtracting]);
  RecordProperty("settings_pauses", watch.pauses[kWritingSettings]);
  RecordProperty("held_pauses", watch.heldPauses);
  RecordProperty("attacks", watch.attempts);

  ASSERT_TRUE(watch.launcherFound);
  ASSERT_FALSE(watch.spareFailed);
  EXPECT_GT(watch.pauses[kExtracting], 0) << "no pause while the members were extracted";
  EXPECT_GT(watch.heldPauses, 0)
      << "no pause found all five files held before the engine's process existed: never held, or the stretch was missed";
  EXPECT_EQ(watch.successes, std::vector<std::string>{});

  // The run is an ordinary one, and the engine found what the package holds.
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_TRUE(result.boxes.empty());
  EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / "setup.dat") == content.data);
  EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / kPackageName) == content.engine);
  EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / "Setup_UI.dll") == content.ui);
  EXPECT_TRUE(testsupport::ReadFileBytes(box.Report() / "Setup_Exp.dll") == content.exp);
  EXPECT_EQ(testsupport::ReadFileBytes(box.Report() / "setup.cfg"), watch.settingsWhileHeld);
  EXPECT_EQ(testsupport::ProfileValue(watch.settingsWhileHeld, "XParam1"), platform::ToAnsi(package.wstring()));
}

}  // namespace
}  // namespace windowstest
