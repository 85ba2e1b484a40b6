#include "pe_fixture.h"

#include <fstream>

#include "support/launcher_package.h"

namespace fs = std::filesystem;

namespace sfxpkgtest {
namespace {

void PutLe(std::string& bytes, size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Utf16(const std::string& text) {
  std::string wide;
  for (const char ch : text) wide += std::string(1, ch) + '\0';
  return wide + std::string(2, '\0');
}

}  // namespace

std::string MinimalPeImage(uint16_t machine, const std::vector<std::pair<std::string, std::string>>& versionStrings) {
  const bool pe32 = machine == kMachineI386;
  std::string image(0x400, '\0');
  image.replace(0, 2, "MZ");
  PutLe(image, 0x3C, 0x40, 4);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  PutLe(image, 0x44, machine, 2);
  PutLe(image, 0x54, pe32 ? 224 : 240, 2);        // size of the optional header
  PutLe(image, 0x56, pe32 ? 0x0102 : 0x0022, 2);  // executable; 32-bit, or large addresses
  const size_t optional = 0x58;
  PutLe(image, optional, pe32 ? 0x10B : 0x20B, 2);
  PutLe(image, optional + 32, 0x1000, 4);  // section alignment
  PutLe(image, optional + 36, 0x200, 4);   // file alignment
  PutLe(image, optional + 56, 0x1000, 4);  // size of image
  PutLe(image, optional + 60, 0x400, 4);   // size of headers
  PutLe(image, optional + 68, 3, 2);       // console subsystem
  PutLe(image, optional + (pe32 ? 92 : 108), 16, 4);  // number of data directories
  // The version strings in the headers' padding, behind the optional header.
  size_t at = 0x200;
  const auto put = [&image, &at](const std::string& text) {
    const std::string wide = Utf16(text);
    image.replace(at, wide.size(), wide);
    at = (at + wide.size() + 3) / 4 * 4;
  };
  for (const auto& [key, value] : versionStrings) {
    put(key);
    put(value);
  }
  return image;
}

std::string StubImage(const std::string& originalFilename, uint16_t machine) {
  return MinimalPeImage(machine, {{"ProductName", "sfx-launcher"},
                                  {"ProductVersion", SFX_VERSION ".0"},
                                  {"OriginalFilename", originalFilename}});
}

StubFile WindowsStub(const std::string& fileName, uint16_t machine, const fs::path& folder) {
  if (testsupport::LauncherProgram().filename() == fileName) return {testsupport::LauncherProgram(), true};
  const fs::path configured = fileName == "launcher64.exe" ? fs::u8path(SFX_WINDOWS64_STUB) : fs::u8path(SFX_WINDOWS_STUB);
  if (!configured.empty() && fs::is_regular_file(configured)) return {configured, true};
  fs::create_directories(folder);
  const fs::path path = folder / fileName;
  const std::string image = StubImage(fileName, machine);
  std::ofstream(path, std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
  return {path, false};
}

}  // namespace sfxpkgtest
