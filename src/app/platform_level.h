// The version gate: which Windows versions the launcher runs on.
#pragma once
#include <cstdint>

namespace app {

// Windows XP (5.1) is the oldest system the launcher runs on.
inline constexpr unsigned kMinimumPlatformLevel = 51;

// The platform level for a version report: 40 for anything older than or unknown to
// the launcher, 50 for Windows 2000, 51 for XP and Server 2003, 60 to 62 for Vista to
// 8.1, 100 for Windows 10 and later releases that report 10.
unsigned PlatformLevelFor(uint32_t platformId, uint32_t major, uint32_t minor);

// The level of the running system.
unsigned GetPlatformLevel();

}  // namespace app
