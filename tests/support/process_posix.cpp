#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform.h"
#include "support/process.h"

extern char** environ;

namespace testsupport {

ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                         const std::map<std::string, std::wstring>& environment) {
  ProgramResult result;
  std::vector<std::string> argStrings{program.string()};
  for (const auto& argument : arguments) argStrings.push_back(platform::ToAnsi(argument));
  std::vector<char*> argv;
  for (auto& argument : argStrings) argv.push_back(argument.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStrings;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry = *variable;
    const std::string name = entry.substr(0, entry.find('='));
    if (environment.count(name) == 0) envStrings.push_back(entry);
  }
  for (const auto& [name, value] : environment) {
    if (!value.empty()) envStrings.push_back(name + "=" + platform::ToAnsi(value));
  }
  std::vector<char*> envp;
  for (auto& entry : envStrings) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned == 0) {
    result.started = true;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) result.standardError.append(buffer, static_cast<size_t>(got));
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status)) : 0x100u + WTERMSIG(status);
  }
  close(pipeFds[0]);
  return result;
}

}  // namespace testsupport
