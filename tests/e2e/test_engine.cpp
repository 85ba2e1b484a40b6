// A setup engine for tests. It does what its environment (inherited from the
// launcher) asks, and reports what it found:
//   SFX_TEST_REPORT  folder to copy every file of its own folder into, with
//                    report.txt: its working folder, its own path, its argument count
//   SFX_TEST_LEAVE   name of a file to create in its own folder
//   SFX_TEST_EXIT    its exit code (decimal, the whole 32 bits)
//   SFX_TEST_CRASH   end as a crashed process ends instead
//   SFX_TEST_SLEEP_MS  stay a while first
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace fs = std::filesystem;

namespace {
std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}
}  // namespace

int main(int argc, char** argv) {
  const std::string sleep = Variable("SFX_TEST_SLEEP_MS");
  if (!sleep.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleep.c_str())));
  // On POSIX a path is bytes, which need not be UTF-8: the platform's 8-bit form keeps them.
#ifdef _WIN32
  const fs::path self = fs::path(platform::ModuleFileName());
#else
  const fs::path self = fs::path(platform::ToAnsi(platform::ModuleFileName()));
#endif
  const fs::path folder = self.parent_path();
  const std::string report = Variable("SFX_TEST_REPORT");
  if (!report.empty()) {
    const fs::path out = fs::u8path(report);
    fs::create_directories(out);
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::error_code ignored;
      fs::remove(out / entry.path().filename(), ignored);
      fs::copy_file(entry.path(), out / entry.path().filename());
    }
    std::ofstream text(out / "report.txt", std::ios::binary);
    text << "cwd=" << fs::current_path().u8string() << "\n"
         << "self=" << self.u8string() << "\n"
         << "arguments=" << argc - 1 << "\n";
#ifdef _WIN32
    // setup.cfg as an engine reads it through the profile API.
    const std::wstring settings = (folder / "setup.cfg").wstring();
    for (const wchar_t* key : {L"XParam1", L"Shell_CommandLine", L"Shell_Logfile", L"Shell_Language",
                               L"Shell_TextWnd1", L"Shell_TextWnd2"}) {
      wchar_t value[4096] = L"";
      GetPrivateProfileStringW(L"Main", key, L"<none>", value, 4096, settings.c_str());
      text << "profile." << fs::path(key).u8string() << "=" << fs::path(value).u8string() << "\n";
    }
#endif
  }
  const std::string leave = Variable("SFX_TEST_LEAVE");
  if (!leave.empty()) std::ofstream(folder / leave) << "left by the engine";
  if (!Variable("SFX_TEST_CRASH").empty()) {
#ifdef _WIN32
    // What its parent sees of a crash: the end with the exception's code. (A real
    // fault under Wine starts its debugger, which holds the file for a while.)
    TerminateProcess(GetCurrentProcess(), 0xC0000005u);
#else
    std::raise(SIGKILL);
#endif
  }
  (void)argv;
  const unsigned long code = std::strtoul(Variable("SFX_TEST_EXIT").c_str(), nullptr, 10);
#ifdef _WIN32
  ExitProcess(static_cast<UINT>(code));
#endif
  return static_cast<int>(code);
}
