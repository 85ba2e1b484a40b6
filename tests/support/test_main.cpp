// The tests' entry point: hands the process's arguments to the platform layer, as
// the launcher's own entry point does, so tests see a real command line.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/launcher_package.h"

#ifndef _WIN32
#include "platform/posix/arguments_posix.h"
#endif

namespace {

// Says at the end how many runs had their boxes checked, one line that scripts/test
// adds up from ctest's log for its summary.
class BoxCheckCount : public testing::Environment {
 public:
  void TearDown() override {
    if (testsupport::BoxChecks() > 0) std::printf("[ box checks ] %d\n", testsupport::BoxChecks());
  }
};

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
  platform::SetProcessArguments(argc, argv);
#endif
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new BoxCheckCount);
  return RUN_ALL_TESTS();
}
