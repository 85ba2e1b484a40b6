// Recognising launchers of this project, the kinds of programs and their processors.
#include "launcher_image.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "package/little_endian.h"
#include "platform/platform.h"
#include "system_path.h"

namespace sfxpkg {
namespace {

using package::ReadLe16;
using package::ReadLe32;

std::string Utf16(const std::string& ascii) {
  std::string wide;
  for (const char ch : ascii) wide += std::string(1, ch) + '\0';
  return wide;
}

// A launcher image read from its file in pieces: an image may claim any size, and
// only a piece at a time is held.
class ImageReader {
 public:
  ImageReader(const std::filesystem::path& path, uint64_t size) {
    if (file_.OpenRegular(SystemPath(path))) size_ = std::min(size, file_.Size().value_or(0));
  }

  uint64_t Size() const { return size_; }

  // Up to count bytes at offset, fewer at the image's end.
  std::string Read(uint64_t offset, size_t count) {
    if (offset >= size_) return std::string();
    std::string bytes(static_cast<size_t>(std::min<uint64_t>(count, size_ - offset)), '\0');
    bytes.resize(bytes.empty() ? 0 : file_.ReadAt(offset, &bytes[0], bytes.size()));
    return bytes;
  }

  // Where needle first occurs, searched in pieces that overlap by its length.
  std::optional<uint64_t> Find(const std::string& needle) {
    for (uint64_t at = 0; at < size_; at += kScanPieceSize) {
      const std::string piece = Read(at, kScanPieceSize + needle.size() - 1);
      const size_t found = piece.find(needle);
      if (found != std::string::npos) return at + found;
      if (piece.size() < kScanPieceSize) break;
    }
    return std::nullopt;
  }

 private:
  static constexpr size_t kScanPieceSize = 1 << 20;
  platform::ReadOnlyFile file_;
  uint64_t size_ = 0;
};

// A version record's values and the Linux launcher's version are short: this many
// bytes after their key hold them whole.
constexpr size_t kValueWindowSize = 512;

// A version record's string value: the UTF-16 text after the key, its terminator
// and the padding to 4 bytes.
std::optional<std::string> VersionValue(ImageReader& image, const std::string& key) {
  const std::string field = Utf16(key) + std::string(2, '\0');
  const std::optional<uint64_t> at = image.Find(field);
  if (!at) return std::nullopt;
  const uint64_t start = *at + field.size();
  const std::string window = image.Read(start, kValueWindowSize);
  size_t value = 0;
  while (value < window.size() && (start + value) % 4 != 0 && window[value] == '\0') ++value;
  std::string text;
  for (; value + 1 < window.size() && (window[value] != '\0' || window[value + 1] != '\0'); value += 2) {
    if (window[value + 1] != '\0') return std::nullopt;  // ours are ASCII
    text.push_back(window[value]);
  }
  return text;
}

// Where a PE image's "PE\0\0" signature lies, or none.
// e_lfanew may hold any 32-bit value: the sums are 64-bit, so none wraps.
std::optional<size_t> PeHeaderAt(const std::string& head) {
  if (head.size() < 0x40 || head.compare(0, 2, "MZ") != 0) return std::nullopt;
  const uint64_t pe = ReadLe32(head, 0x3C);
  if (pe + 4 > head.size() || head.compare(static_cast<size_t>(pe), 4, std::string("PE\0\0", 4)) != 0) {
    return std::nullopt;
  }
  return static_cast<size_t>(pe);
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
      const uint64_t pe = *PeHeaderAt(head);
      if (pe + 6 > head.size()) return std::nullopt;
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

std::optional<LauncherIdentity> IdentifyLauncher(const std::filesystem::path& file, uint64_t imageSize,
                                                 std::string* why) {
  ImageReader image(file, imageSize);
  const std::string head = image.Read(0, kProgramHeadSize);
  LauncherIdentity identity;
  identity.kind = KindOfProgram(head);
  const std::optional<std::string> architecture = ArchitectureOfProgram(head);
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
    const std::optional<uint64_t> at = image.Find(record);
    if (!at) return std::nullopt;
    const std::string window = image.Read(*at + record.size(), kValueWindowSize);
    const size_t end = window.find('\0');
    identity.stub = "launcher";
    identity.version = window.substr(0, end == std::string::npos ? 0 : end);
    return identity;
  }
  return std::nullopt;
}

std::string ReadFileStart(const std::filesystem::path& path, size_t size) { return ImageReader(path, size).Read(0, size); }

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
