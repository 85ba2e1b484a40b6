// What keeps a build's secrets out of sight and its leftovers off the disk: the
// password from standard input, a pipe or the environment; a build ended by a signal
// leaves no file behind. POSIX: the shell feeds the pipes, and signals are sent.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "sfxpkg_tool.h"
#include "support/scratch_folder.h"

extern char** environ;

namespace fs = std::filesystem;
using sfxpkgtest::U8;

namespace {

// A word as the shell reads it, whatever it holds.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

// Runs a shell command line in folder; environment variables given as NAME=VALUE in front.
testsupport::ProgramResult Shell(const fs::path& folder, const std::string& line) {
  return testsupport::RunTool("/bin/sh", {"-c", "cd " + Quoted(U8(folder)) + " && " + line});
}

// The same password from each place it can come from gives the same package, byte
// for byte (builds are reproducible): nothing of it is lost or added on the way.
TEST(PasswordSources, EveryWayGivesTheSamePackage) {
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const std::string password = "Pa55 w0rd's";
  auto command = [&](const std::string& output, const std::string& source) {
    std::string line = Quoted(U8(sfxpkgtest::SfxpkgProgram()));
    auto arguments = sfxpkgtest::BuildArguments(inputs, "unused", scratch.Path() / output);
    for (size_t i = 0; i < arguments.size(); ++i) {
      if (arguments[i] == "--password") {
        ++i;  // the password comes from source
        continue;
      }
      line += " " + Quoted(arguments[i]);
    }
    return line + " " + source;
  };
  ASSERT_EQ(sfxpkgtest::Sfxpkg(sfxpkgtest::BuildArguments(inputs, password, scratch.Path() / "argv.pkg")).exitCode, 0u);
  scratch.Write("password.txt", "\xEF\xBB\xBF" + password + "\r\n");
  const struct {
    const char* output;
    std::string line;
  } ways[] = {
      {"stdin.pkg", "printf '%s\\n' " + Quoted(password) + " | " + command("stdin.pkg", "--password-file -")},
      {"fifo.pkg", "mkfifo pw.fifo && { printf '%s' " + Quoted(password) + " > pw.fifo & } && " +
                       command("fifo.pkg", "--password-file pw.fifo")},
      {"substituted.pkg", "exec 3<<EOF\n" + password + "\nEOF\n" + command("substituted.pkg", "--password-file /dev/fd/3")},
      {"env.pkg", "SFXPKG_PASSWORD=" + Quoted(password) + " " + command("env.pkg", "--password-env SFXPKG_PASSWORD")},
      {"file.pkg", command("file.pkg", "--password-file password.txt")},
  };
  const std::string expected = testsupport::ReadFileBytes(scratch.Path() / "argv.pkg");
  for (const auto& way : ways) {
    SCOPED_TRACE(way.output);
    const auto built = Shell(scratch.Path(), way.line);
    EXPECT_EQ(built.exitCode, 0u) << built.standardError;
    EXPECT_EQ(built.standardError.find("warning"), std::string::npos) << built.standardError;
    EXPECT_TRUE(testsupport::ReadFileBytes(scratch.Path() / way.output) == expected);
  }
}

// Bytes that no compressor shrinks, quickly made: deflating them keeps a build busy.
void WriteIncompressible(const fs::path& path, size_t size) {
  std::string bytes(size, '\0');
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (size_t i = 0; i < size; i += 8) {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    for (size_t j = 0; j < 8 && i + j < size; ++j) bytes[i + j] = static_cast<char>(state >> (8 * j));
  }
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A signal in the middle of a build removes the unfinished archive (and package),
// leaves an earlier package as it was and ends sfxpkg by that signal, as a shell
// expects. The build is started with every signal at its default action.
TEST(Interruption, ASignalMidBuildLeavesNothingBehind) {
  testsupport::ScratchFolder scratch;
  auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  // 48 MiB at level 9 take seconds to deflate; the signal comes within the first.
  inputs.data = scratch.Path() / "in" / "large.dat";
  WriteIncompressible(inputs.data, 48u << 20);
  fs::create_directories(scratch.Path() / "out");
  const fs::path package = scratch.Path() / "out" / "Setup.exe";
  const fs::path unfinished = scratch.Path() / "out" / ".Setup.exe.archive.sfxpkg-tmp";

  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signalNumber));
    scratch.Write("out/Setup.exe", "the package of an earlier build");
    std::vector<std::string> arguments = {U8(sfxpkgtest::SfxpkgProgram())};
    for (const std::string& argument : sfxpkgtest::BuildArguments(inputs, "pw", package)) arguments.push_back(argument);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    ASSERT_EQ(posix_spawnattr_init(&attributes), 0);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    ASSERT_EQ(posix_spawnattr_setsigdefault(&attributes, &all), 0);
    ASSERT_EQ(posix_spawnattr_setsigmask(&attributes, &none), 0);
    ASSERT_EQ(posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK), 0);
    posix_spawn_file_actions_t actions;
    ASSERT_EQ(posix_spawn_file_actions_init(&actions), 0);
    const std::string errors = U8(scratch.Path() / "stderr.txt");
    ASSERT_EQ(posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                               0600),
              0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);

    // Once the archive has begun, the build is under way.
    std::error_code ignored;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const auto begun = [&] { return fs::exists(unfinished, ignored) && fs::file_size(unfinished, ignored) > 0; };
    while (!begun() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(begun()) << "the build never began its archive";
    ASSERT_EQ(kill(pid, signalNumber), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);

    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << "status " << status;
    EXPECT_EQ(scratch.Entries("out"), std::vector<std::string>{"Setup.exe"});
    EXPECT_EQ(testsupport::ReadFileBytes(package), "the package of an earlier build");
    EXPECT_EQ(testsupport::ReadFileBytes(errors), "sfxpkg build: interrupted: its unfinished files are removed\n");
  }
}

}  // namespace
