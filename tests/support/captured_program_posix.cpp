#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/captured_program.h"
#include "support/scratch_folder.h"

extern char** environ;

namespace testsupport {

CapturedRun RunCaptured(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  CapturedRun run;
  ScratchFolder streams;
  const std::string out = (streams.Path() / "out").string();
  const std::string err = (streams.Path() / "err").string();
  std::vector<std::string> strings{program.string()};
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : strings) argv.push_back(text.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  waitpid(pid, &status, 0);
  run.started = true;
  run.exitCode = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status)) : 0x100u + WTERMSIG(status);
  run.standardOutput = ReadFileBytes(out);
  run.standardError = ReadFileBytes(err);
  return run;
}

}  // namespace testsupport
