// Recognising launchers of this project, the kinds of programs and their processors.
#include "launcher_image.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "package/little_endian.h"

namespace sfxpkg {
namespace {

using package::ReadLe16;
using package::ReadLe32;

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

// Where a PE image's "PE\0\0" signature lies, or none.
std::optional<size_t> PeHeaderAt(const std::string& head) {
  if (head.size() < 0x40 || head.compare(0, 2, "MZ") != 0) return std::nullopt;
  const uint32_t pe = ReadLe32(head, 0x3C);
  if (pe > head.size() || head.size() - pe < 4 || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
    return std::nullopt;
  }
  return pe;
}

// The Windows stubs this project builds: the name their version records give as
// the original file name, and the processor their headers name.
struct WindowsStub {
  const char* fileName;
  const char* architecture;
};
constexpr WindowsStub kWindowsStubs[] = {{"launcher.exe", "i686"}, {"launcher64.exe", "x86_64"}};

std::string MachineName(uint16_t machine, bool elf) {
  struct Named {
    uint16_t pe, elf;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {0x014C, 3, "i686"}, {0x8664, 62, "x86_64"}, {0xAA64, 183, "arm64"}, {0x01C4, 40, "arm"}, {0x0200, 50, "ia64"}};
  for (const Named& named : kNames) {
    if ((elf ? named.elf : named.pe) == machine) return named.name;
  }
  char text[24];
  std::snprintf(text, sizeof text, "machine 0x%04X", machine);
  return text;
}

}  // namespace

ProgramKind KindOfProgram(const std::string& head) {
  if (head.compare(0, 4,
                   "\x7F"
                   "ELF") == 0)
    return ProgramKind::kLinux;
  if (head.compare(0, 2, "#!") == 0) return ProgramKind::kScript;
  if (PeHeaderAt(head)) return ProgramKind::kWindows;
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

std::optional<std::string> ArchitectureOfProgram(const std::string& head) {
  switch (KindOfProgram(head)) {
    case ProgramKind::kWindows: {
      const size_t pe = *PeHeaderAt(head);
      if (head.size() - pe < 6) return std::nullopt;
      return MachineName(ReadLe16(head, pe + 4), false);
    }
    case ProgramKind::kLinux: {
      // e_machine, in the byte order e_ident names.
      if (head.size() < 20) return std::nullopt;
      const bool bigEndian = head[5] == 2;
      const uint16_t machine = bigEndian ? static_cast<uint16_t>(static_cast<uint8_t>(head[18]) << 8 |
                                                                 static_cast<uint8_t>(head[19]))
                                         : ReadLe16(head, 18);
      return MachineName(machine, true);
    }
    case ProgramKind::kScript:
    case ProgramKind::kOther:
      break;
  }
  return std::nullopt;
}

std::optional<LauncherIdentity> IdentifyLauncher(const std::string& image, std::string* why) {
  LauncherIdentity identity;
  identity.kind = KindOfProgram(image);
  const std::optional<std::string> architecture = ArchitectureOfProgram(image);
  if (!architecture) return std::nullopt;
  identity.architecture = *architecture;
  const auto refuse = [why](const std::string& reason) -> std::optional<LauncherIdentity> {
    if (why) *why = reason;
    return std::nullopt;
  };
  if (identity.kind == ProgramKind::kWindows) {
    // A Windows stub's version record names the product, its version and the stub;
    // the stub's name and its header's processor must agree.
    if (VersionValue(image, "ProductName") != std::string("sfx-launcher")) return std::nullopt;
    const std::optional<std::string> fileName = VersionValue(image, "OriginalFilename");
    if (!fileName) return refuse("its version record names no original file name");
    for (const WindowsStub& stub : kWindowsStubs) {
      if (*fileName != stub.fileName) continue;
      if (identity.architecture != stub.architecture) {
        return refuse("its version record names " + *fileName + ", which is built for " + stub.architecture +
                      ", but its header names " + identity.architecture);
      }
      identity.stub = stub.fileName;
      identity.version = VersionValue(image, "ProductVersion").value_or("");
      return identity;
    }
    return refuse("its version record names the file \"" + *fileName + "\", which is no stub sfxpkg knows");
  }
  if (identity.kind == ProgramKind::kLinux) {
    // Put together here, so that sfxpkg's own file does not hold it whole.
    std::string record = "sfx-launcher";
    record += " launcher ";
    const size_t at = image.find(record);
    if (at == std::string::npos) return std::nullopt;
    const size_t end = image.find('\0', at);
    identity.stub = "launcher";
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

std::string LauncherName(const LauncherIdentity& launcher) {
  return launcher.kind == ProgramKind::kWindows ? launcher.stub : "the Linux launcher";
}

std::string DescribeLauncher(const LauncherIdentity& launcher) {
  return LauncherName(launcher) + " " + launcher.version + " (" + launcher.architecture + ")";
}

std::string EngineMismatch(const std::string& subject, const LauncherIdentity& launcher, ProgramKind engine) {
  return subject + " is " + DescribeKind(engine) + ", which " + LauncherName(launcher) + " cannot start";
}

bool EngineSuits(ProgramKind launcher, ProgramKind engine) {
  if (launcher == ProgramKind::kWindows) return engine == ProgramKind::kWindows;
  return engine == ProgramKind::kLinux || engine == ProgramKind::kScript;
}

std::optional<std::string> EngineArchitectureWarning(const std::string& subject, const LauncherIdentity& launcher,
                                                     const std::string& engineHead) {
  if (launcher.kind != ProgramKind::kWindows || KindOfProgram(engineHead) != ProgramKind::kWindows) {
    return std::nullopt;
  }
  const std::optional<std::string> engine = ArchitectureOfProgram(engineHead);
  if (!engine || *engine == launcher.architecture) return std::nullopt;
  const std::string& stub = launcher.stub;
  if (*engine == "i686") {
    // launcher64.exe runs where 64-bit Windows has no WoW64 to run 32-bit programs.
    return subject + " is a 32-bit Windows program (i686): on 64-bit Windows without WoW64 (Windows PE x64, "
                     "Server Core without it), " + stub + " starts but the engine cannot; launcher.exe suits a 32-bit engine";
  }
  if (*engine == "x86_64" && launcher.architecture == "i686") {
    return subject + " is a 64-bit Windows program (x86_64): on 32-bit Windows, " + stub +
           " starts but the engine cannot; launcher64.exe suits a 64-bit engine";
  }
  if (engine->rfind("machine ", 0) == 0) {
    return subject + " is a Windows program for a processor sfxpkg does not know (" + *engine +
           "), which may not start on the systems " + stub + " runs on";
  }
  return subject + " is a Windows program for " + *engine + ": it starts only on Windows for " + *engine +
         ", not on every system " + stub + " runs on";
}

}  // namespace sfxpkg
