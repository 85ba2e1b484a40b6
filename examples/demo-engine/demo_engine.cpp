// The demo setup engine. The launcher starts it with no arguments in its working
// folder, beside setup.dat, Setup_UI.dll, Setup_Exp.dll and setup.cfg. It shows what
// it found, leaves the same report in demo-engine.log and exits with a code taken
// from the command line the launcher was given ("/exitcode N"), else from
// setup.dat ([Demo] ExitCode), else 0.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine_host.h"
#include "profile_file.h"

namespace fs = std::filesystem;

namespace {

// The value after "/exitcode" or "-exitcode" on a command line, or none.
bool ExitCodeFromCommandLine(const std::string& commandLine, uint32_t& code) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  for (const char ch : commandLine + " ") {
    if (ch == '"') {
      quoted = !quoted;
    } else if (ch == ' ' && !quoted) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += ch;
    }
  }
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    std::string name = words[i];
    std::transform(name.begin(), name.end(), name.begin(), [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; });
    if (name == "/exitcode" || name == "-exitcode") {
      code = static_cast<uint32_t>(std::strtoul(words[i + 1].c_str(), nullptr, 10));
      return true;
    }
  }
  return false;
}

// Exit codes after which the launcher leaves its working folder in place.
bool LauncherKeepsFolder(uint32_t code) { return code == 0 || code == 1641 || code == 3010; }

}  // namespace

int main() {
  const std::string self = demo::OwnPath();
  const fs::path folder = fs::path(self).parent_path();
  const auto settings = demo::ReadProfileFile((folder / "setup.cfg").string());
  const auto data = demo::ReadProfileFile((folder / "setup.dat").string());

  std::ostringstream report;
  report << "Demo setup engine\n\n"
         << "started as      " << self << "\n"
         << "working folder  " << fs::current_path().string() << "\n\n"
         << "files beside it:\n";
  std::vector<std::pair<std::string, uintmax_t>> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::error_code ignored;
    files.emplace_back(entry.path().filename().string(), entry.file_size(ignored));
  }
  std::sort(files.begin(), files.end());
  for (const auto& [name, size] : files) report << "  " << name << " (" << size << " bytes)\n";

  report << "\nsetup.cfg:\n";
  if (settings.empty()) report << "  (missing or empty)\n";
  for (const auto& entry : settings) report << "  [" << entry.section << "] " << entry.key << "=" << entry.value << "\n";
  report << "\nsetup.dat says: " << demo::ProfileValue(data, "Demo", "Greeting", "(no greeting)") << "\n";

  uint32_t code = 0;
  std::string source = "the default";
  if (ExitCodeFromCommandLine(demo::ProfileValue(settings, "Main", "Shell_CommandLine"), code)) {
    source = "/exitcode on the command line";
  } else if (const std::string fromData = demo::ProfileValue(data, "Demo", "ExitCode"); !fromData.empty()) {
    code = static_cast<uint32_t>(std::strtoul(fromData.c_str(), nullptr, 10));
    source = "ExitCode in setup.dat";
  }
  const uint32_t seen = demo::CodeTheLauncherSees(code);
  report << "exit code       " << code << " (" << source << ")";
  if (seen != code) report << ", which the launcher sees as " << seen;
  report << "\n"
         << (LauncherKeepsFolder(seen) ? "                the launcher keeps this folder as it is\n"
                                       : "                the launcher deletes the files it put here; this log stays\n");

  std::ofstream(folder / "demo-engine.log", std::ios::binary) << report.str();
  demo::ShowReport(report.str(), !demo::ProfileValue(settings, "Main", "Shell_Slient").empty());
  return static_cast<int>(code);
}
