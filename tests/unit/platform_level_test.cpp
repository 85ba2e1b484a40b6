#include <gtest/gtest.h>

#include "app/platform_level.h"

namespace {

struct LevelCase {
  uint32_t platformId, major, minor;
  unsigned level;
  bool passes;
};

TEST(PlatformLevel, MapsVersionReportsAndGatesAtXp) {
  const LevelCase cases[] = {
      {2, 5, 0, 50, false},   // Windows 2000
      {2, 5, 1, 51, true},    // Windows XP
      {2, 5, 2, 51, true},    // Server 2003, XP x64
      {2, 6, 0, 60, true},    // Vista
      {2, 6, 1, 61, true},    // 7
      {2, 6, 2, 62, true},    // 8
      {2, 6, 3, 62, true},    // 8.1
      {2, 10, 0, 100, true},  // 10 and 11
      {2, 4, 0, 40, false},   // NT 4
      {2, 3, 51, 40, false},  // NT 3.51
      {2, 7, 0, 40, false},   // a major version the launcher does not know
      {2, 11, 0, 40, false},
      {1, 4, 10, 40, false},  // Windows 98
      {0, 0, 0, 40, false},   // a failed query leaves everything zero
      {3, 10, 0, 40, false},
  };
  for (const LevelCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.platformId << " " << c.major << "." << c.minor);
    const unsigned level = app::PlatformLevelFor(c.platformId, c.major, c.minor);
    EXPECT_EQ(level, c.level);
    EXPECT_EQ(level >= app::kMinimumPlatformLevel, c.passes);
  }
}

TEST(PlatformLevel, RunningSystemPassesTheGate) {
  // Natively a POSIX host; under Wine the prefix's Windows version.
  EXPECT_GE(app::GetPlatformLevel(), app::kMinimumPlatformLevel);
}

}  // namespace
