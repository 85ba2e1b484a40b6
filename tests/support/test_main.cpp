// The tests' entry point: hands the process's arguments to the platform layer, as
// the launcher's own entry point does, so tests see a real command line.
#include <gtest/gtest.h>

#ifndef _WIN32
#include "platform/posix/arguments_posix.h"
#endif

int main(int argc, char** argv) {
#ifndef _WIN32
  platform::SetProcessArguments(argc, argv);
#endif
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
