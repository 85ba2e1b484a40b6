// Starting the setup engine in its folder and reading its end, as the run does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "handoff/engine_launch.h"
#include "platform/platform.h"
#include "support/launcher_package.h"
#include "support/scratch_folder.h"

#ifndef _WIN32
#include <sys/wait.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace {

// The test engine copied into a folder of its own, reporting into report.
struct EngineFolder {
  testsupport::ScratchFolder scratch;
  fs::path folder = scratch.Path() / "Work Folder";
  fs::path report = scratch.Path() / "report";
  fs::path engine = folder / testsupport::TestEngineProgram().filename();
  testsupport::ScopedEnvironmentVariable reportTo{"SFX_TEST_REPORT", report.wstring()};

  EngineFolder() {
    fs::create_directories(folder);
    fs::copy_file(testsupport::TestEngineProgram(), engine);
  }
  std::string Reported(const std::string& key) const {
    return testsupport::ValueOf(testsupport::ReadFileBytes(report / "report.txt"), key);
  }
};

// Every child this process started has been reaped: none is left, ended or not.
// Windows keeps no such thing as an unreaped child.
void ExpectNoChildLeft() {
#ifndef _WIN32
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
#endif
}

// Each case starts a program; the 32-bit core's tests run under an emulator that
// cannot start one, and say so.
class EngineLaunch : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* why = std::getenv("SFX_TEST_NO_CHILD_PROGRAMS")) GTEST_SKIP() << why;
  }
};

TEST_F(EngineLaunch, ReturnsTheEnginesExitCodeBitForBit) {
  EngineFolder engine;
  // A POSIX exit status has only 8 bits.
  const std::vector<uint32_t> codes = testsupport::BoxesOnStandardError()
                                          ? std::vector<uint32_t>{0, 5, 255}
                                          : std::vector<uint32_t>{0, 1641, 3010, 1602, 0xC0000005u};
  for (const uint32_t code : codes) {
    SCOPED_TRACE(code);
    testsupport::ScopedEnvironmentVariable exitWith("SFX_TEST_EXIT", std::to_wstring(code));
    const handoff::EngineRun run = handoff::RunAndWait(engine.engine.wstring());
    EXPECT_TRUE(run.ended);
    EXPECT_EQ(static_cast<uint32_t>(run.code), code);
    ExpectNoChildLeft();
  }
}

TEST_F(EngineLaunch, StartsTheEngineInItsFolderWithoutArguments) {
  EngineFolder engine;
  ASSERT_EQ(handoff::RunAndWait(engine.engine.wstring()).code, 0);
  EXPECT_EQ(engine.Reported("cwd"), engine.folder.u8string());  // the folder, reached through its closing separator
  EXPECT_EQ(engine.Reported("arguments"), "0");
}

TEST_F(EngineLaunch, AnEngineEndedByACrashHasFailed) {
  EngineFolder engine;
  testsupport::ScopedEnvironmentVariable crash("SFX_TEST_CRASH", L"1");
  // POSIX: 128 + SIGKILL, as shells report a killed program; Windows: the end the
  // crash gave the process, an access violation.
  const uint32_t expected = testsupport::BoxesOnStandardError() ? 128u + 9u : 0xC0000005u;
  EXPECT_EQ(static_cast<uint32_t>(handoff::RunAndWait(engine.engine.wstring()).code), expected);
  ExpectNoChildLeft();
}

TEST_F(EngineLaunch, AMissingProgramGivesTheSystemsCode) {
  // The Windows shell answers with a box of its own in this process, which nobody
  // here would close; the whole-run tests on a screen cover that case.
  if (!testsupport::BoxesOnStandardError() && std::getenv("DISPLAY") != nullptr) {
    GTEST_SKIP() << "the shell's box would wait on the screen";
  }
  // POSIX: the start's own ENOENT. Under Wine without a screen the shell tries to
  // tell the user in a box of its own, cannot create it, and leaves that failure's
  // code, ERROR_INVALID_WINDOW_HANDLE.
  constexpr int kErrorInvalidWindowHandle = 1400;
  const int expected = testsupport::BoxesOnStandardError() ? platform::kErrorFileNotFound : kErrorInvalidWindowHandle;
  testsupport::ScratchFolder scratch;
  const handoff::EngineRun run = handoff::RunAndWait((scratch.Path() / "missing.exe").wstring());
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(run.code, expected);
}

// A silent run's start: the shell shows nothing and leaves the start's own reason.
TEST_F(EngineLaunch, AQuietStartOfAMissingProgramGivesTheStartsOwnCode) {
  testsupport::ScratchFolder scratch;
  const handoff::EngineRun run = handoff::RunAndWait((scratch.Path() / "missing.exe").wstring(), true);
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(run.code, platform::kErrorFileNotFound);
}

}  // namespace
