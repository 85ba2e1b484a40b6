// Recognising launchers of this project and the kinds of programs.
#include "launcher_image.h"

#include <cstdint>
#include <cstring>
#include <fstream>

namespace sfxpkg {
namespace {

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

std::string Utf16(const std::string& ascii) {
  std::string wide;
  for (const char ch : ascii) wide += std::string(1, ch) + '\0';
  return wide;
}

// A version record's string value: the UTF-16 text after the key, its terminator
// and the padding to 4 bytes.
std::optional<std::string> VersionValue(const std::string& image, const std::string& key) {
  const std::string field = Utf16(key) + std::string(2, '\0');
  const size_t at = image.find(field);
  if (at == std::string::npos) return std::nullopt;
  size_t value = at + field.size();
  while (value < image.size() && value % 4 != 0 && image[value] == '\0') ++value;
  std::string text;
  for (; value + 1 < image.size() && (image[value] != '\0' || image[value + 1] != '\0'); value += 2) {
    if (image[value + 1] != '\0') return std::nullopt;  // ours are ASCII
    text.push_back(image[value]);
  }
  return text;
}

}  // namespace

ProgramKind KindOfProgram(const std::string& head) {
  if (head.compare(0, 4,
                   "\x7F"
                   "ELF") == 0)
    return ProgramKind::kLinux;
  if (head.compare(0, 2, "#!") == 0) return ProgramKind::kScript;
  if (head.size() >= 0x40 && head.compare(0, 2, "MZ") == 0) {
    const uint32_t pe = Le32(head, 0x3C);
    if (pe + 4 <= head.size() && head.compare(pe, 4, std::string("PE\0\0", 4)) == 0) return ProgramKind::kWindows;
  }
  return ProgramKind::kOther;
}

std::string DescribeKind(ProgramKind kind) {
  switch (kind) {
    case ProgramKind::kWindows:
      return "a Windows program";
    case ProgramKind::kLinux:
      return "a Linux program";
    case ProgramKind::kScript:
      return "a script";
    case ProgramKind::kOther:
      break;
  }
  return "no program";
}

std::optional<LauncherIdentity> IdentifyLauncher(const std::string& image) {
  LauncherIdentity identity;
  identity.kind = KindOfProgram(image);
  if (identity.kind == ProgramKind::kWindows) {
    // launcher.exe's version record names the product and its version.
    if (VersionValue(image, "ProductName") != std::string("sfx-launcher")) return std::nullopt;
    identity.version = VersionValue(image, "ProductVersion").value_or("");
    return identity;
  }
  if (identity.kind == ProgramKind::kLinux) {
    // Put together here, so that sfxpkg's own file does not hold it whole.
    std::string record = "sfx-launcher";
    record += " launcher ";
    const size_t at = image.find(record);
    if (at == std::string::npos) return std::nullopt;
    const size_t end = image.find('\0', at);
    identity.version = image.substr(at + record.size(), end == std::string::npos ? 0 : end - at - record.size());
    return identity;
  }
  return std::nullopt;
}

std::string ReadFileStart(const std::filesystem::path& path, uint64_t size) {
  std::ifstream in(path, std::ios::binary);
  std::string image(static_cast<size_t>(size), '\0');
  in.read(&image[0], static_cast<std::streamsize>(image.size()));
  image.resize(static_cast<size_t>(in.gcount()));
  return image;
}

std::string DescribeLauncher(const LauncherIdentity& launcher) {
  return (launcher.kind == ProgramKind::kWindows ? "launcher.exe " : "the Linux launcher ") + launcher.version;
}

std::string EngineMismatch(const std::string& subject, ProgramKind launcher, ProgramKind engine) {
  return subject + " is " + DescribeKind(engine) + ", which " +
         (launcher == ProgramKind::kWindows ? "launcher.exe" : "the Linux launcher") + " cannot start";
}

bool EngineSuits(ProgramKind launcher, ProgramKind engine) {
  if (launcher == ProgramKind::kWindows) return engine == ProgramKind::kWindows;
  return engine == ProgramKind::kLinux || engine == ProgramKind::kScript;
}

}  // namespace sfxpkg
