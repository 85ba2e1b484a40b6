#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "handoff/engine_launch.h"
#include "platform/platform.h"
#include "support/launcher_package.h"
#include "support/scratch_folder.h"

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

TEST(EngineLaunch, AMissingProgramGivesTheSystemsCode) {
  // The Windows shell answers with a box of its own in this process, which nobody
  // here would close; the whole-run tests on a screen cover that case.
  if (!testsupport::BoxesOnStandardError() && std::getenv("DISPLAY") != nullptr) {
    GTEST_SKIP() << "the shell's box would wait on the screen";
  }
  testsupport::ScratchFolder scratch;
  const int result = handoff::RunAndWait((scratch.Path() / "missing.exe").wstring());
  // The shell tells the user itself and gives ERROR_FILE_NOT_FOUND; where it cannot
  // show its box (Wine without a display) it fails with the box's error instead.
  if (testsupport::BoxesOnStandardError()) {
    EXPECT_EQ(result, 2);
  } else {
    EXPECT_TRUE(result == 2 || result == 1400 || result == 1) << result;
  }
}

TEST(EngineLaunch, StartsInTheProgramsFolderAndReturnsItsExitCode) {
  EngineFolder engine;
  // Bit for bit, whatever the value; a POSIX exit status has only 8 bits.
  const std::vector<uint32_t> codes = testsupport::BoxesOnStandardError()
                                          ? std::vector<uint32_t>{0, 5, 255}
                                          : std::vector<uint32_t>{0, 1641, 3010, 1602, 0xC0000005u};
  for (const uint32_t code : codes) {
    SCOPED_TRACE(code);
    testsupport::ScopedEnvironmentVariable exitWith("SFX_TEST_EXIT", std::to_wstring(code));
    EXPECT_EQ(static_cast<uint32_t>(handoff::RunAndWait(engine.engine.wstring())), code);
  }
  EXPECT_EQ(engine.Reported("cwd"), engine.folder.u8string());  // the folder, reached through its closing separator
  EXPECT_EQ(engine.Reported("arguments"), "0");
}

TEST(EngineLaunch, AnEngineEndedByACrashHasFailed) {
  EngineFolder engine;
  testsupport::ScopedEnvironmentVariable crash("SFX_TEST_CRASH", L"1");
  const int result = handoff::RunAndWait(engine.engine.wstring());
  EXPECT_NE(result, 0);
  EXPECT_NE(result, 1641);
  EXPECT_NE(result, 3010);
}

}  // namespace
