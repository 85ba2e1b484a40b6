// The platform level the version gate compares, for the version reports systems give.
#include <gtest/gtest.h>

#include "app/platform_level.h"

namespace {

// What GetVersionEx tells a program with the launcher's manifest, which declares
// Vista to 10 (without it, 8.1 and later would say 6.2). Whether a level passes the
// gate is checked where the gate is: whole runs under Wine's Windows versions.
TEST(PlatformLevel, MapsTheVersionReportsOfRealSystems) {
  struct Case {
    const char* system;
    uint32_t platformId, major, minor;
    unsigned level;
  };
  const Case cases[] = {
      {"Windows 95", 1, 4, 0, 40},
      {"Windows 98", 1, 4, 10, 40},
      {"Windows Me", 1, 4, 90, 40},
      {"Windows CE 6.0, not of the NT family", 3, 6, 0, 40},
      {"Windows NT 3.51", 2, 3, 51, 40},
      {"Windows NT 4.0", 2, 4, 0, 40},
      {"Windows 2000", 2, 5, 0, 50},
      {"Windows XP", 2, 5, 1, 51},
      {"Windows XP x64 and Server 2003", 2, 5, 2, 51},
      {"Windows Vista and Server 2008", 2, 6, 0, 60},
      {"Windows 7", 2, 6, 1, 61},
      {"Windows 8", 2, 6, 2, 62},
      {"Windows 8.1", 2, 6, 3, 62},
      {"Windows 10, 11 and Server 2016 to 2025", 2, 10, 0, 100},
      {"a failed query, which leaves the record zeroed", 0, 0, 0, 40},
      // A major version no release has reported yet counts as unknown, like the old ones.
      {"a future major version", 2, 11, 0, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.system);
    EXPECT_EQ(app::PlatformLevelFor(c.platformId, c.major, c.minor), c.level);
  }
}

}  // namespace
