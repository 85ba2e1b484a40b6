// Runs a program to its end on POSIX, with its environment set and its output kept.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "support/process.h"
#include "support/scratch_folder.h"

extern char** environ;

namespace testsupport {
namespace {

// This process's environment with the given changes, as posix_spawn takes it.
std::vector<std::string> EnvironmentWith(const std::map<std::string, std::wstring>& changes) {
  std::vector<std::string> entries;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry = *variable;
    if (changes.count(entry.substr(0, entry.find('='))) == 0) entries.push_back(entry);
  }
  for (const auto& [name, value] : changes) {
    if (!value.empty()) entries.push_back(name + "=" + platform::ToAnsi(value));
  }
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                         const std::map<std::string, std::wstring>& environment) {
  ProgramResult result;
  std::vector<std::string> argumentStrings{program.string()};
  for (const std::wstring& argument : arguments) argumentStrings.push_back(platform::ToAnsi(argument));
  std::vector<std::string> environmentStrings = EnvironmentWith(environment);
  const std::vector<char*> argv = Pointers(argumentStrings);
  const std::vector<char*> envp = Pointers(environmentStrings);

  ScratchFolder streams;
  const std::string out = (streams.Path() / "out").string();
  const std::string err = (streams.Path() / "err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return result;

  result.started = true;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status)) : 0x100u + WTERMSIG(status);
  result.standardOutput = ReadFileBytes(out);
  result.standardError = ReadFileBytes(err);
  return result;
}

ProgramResult RunTool(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  // The system's 8-bit code page is UTF-8 here.
  std::vector<std::wstring> wide;
  for (const std::string& argument : arguments) wide.push_back(platform::FromAnsi(argument));
  return RunProgram(program, wide);
}

}  // namespace testsupport
