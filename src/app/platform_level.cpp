// The version gate's level: the system's version report mapped to one number.
#include "app/platform_level.h"

#include "platform/platform.h"

namespace app {
namespace {
constexpr uint32_t kPlatformNt = 2;
}

unsigned PlatformLevelFor(uint32_t platformId, uint32_t major, uint32_t minor) {
  if (platformId != kPlatformNt) return 40;
  switch (major) {
    case 5:
      return minor == 0 ? 50 : 51;
    case 6:
      return minor == 0 ? 60 : minor == 1 ? 61 : 62;
    case 10:
      return 100;
    default:
      return 40;
  }
}

unsigned GetPlatformLevel() {
  const platform::OsVersion version = platform::QueryOsVersion();
  return PlatformLevelFor(version.platformId, version.major, version.minor);
}

}  // namespace app
