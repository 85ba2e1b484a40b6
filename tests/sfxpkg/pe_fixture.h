// Hand-made Windows program files: the smallest PE images that sfxpkg, the
// launcher's trailer code and osslsigncode take for programs of a given processor,
// and stand-ins for the Windows stubs where a build does not make them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace sfxpkgtest {

inline constexpr uint16_t kMachineI386 = 0x014C;
inline constexpr uint16_t kMachineAmd64 = 0x8664;
inline constexpr uint16_t kMachineArm64 = 0xAA64;

// Headers and no sections: PE32 for i386, PE32+ for any other machine. Each pair
// of versionStrings is written into the headers' padding as a version record
// stores a string (UTF-16 key, its terminator, value at the next 4-byte boundary).
std::string MinimalPeImage(uint16_t machine,
                           const std::vector<std::pair<std::string, std::string>>& versionStrings = {});

// A stand-in for a Windows stub: the version record's strings that name the
// product, its version (this project's) and the stub's original file name.
std::string StubImage(const std::string& originalFilename, uint16_t machine);

// A Windows stub as a file: the real one where the build has it (its own launcher
// in a Windows build, or the stub it was configured with: SFX_WINDOWS_STUB,
// SFX_WINDOWS64_STUB), else StubImage written into folder.
struct StubFile {
  std::filesystem::path path;
  bool real = false;
};
StubFile WindowsStub(const std::string& fileName, uint16_t machine, const std::filesystem::path& folder);

}  // namespace sfxpkgtest
