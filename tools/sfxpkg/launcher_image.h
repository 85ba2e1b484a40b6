// What a program file is: a launcher of this project (and which), a Windows or a
// Linux program, a script, and the processor it is built for; for the checks that a
// package's pieces suit each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace sfxpkg {

enum class ProgramKind { kWindows, kLinux, kScript, kOther };

// How much of a program's start tells its kind.
inline constexpr size_t kProgramHeadSize = 4096;

// The kind of program whose file begins with head.
ProgramKind KindOfProgram(const std::string& head);
// "a Windows program", "a Linux program", "a script", "no program".
std::string DescribeKind(ProgramKind kind);

// The processor a Windows or Linux program whose file begins with head is built
// for, as the stubs' architectures are named: "i686", "x86_64", "arm64", "arm",
// "ia64", or "machine 0x01C2" for one without a name here. None for a script,
// no program, or headers cut short.
std::optional<std::string> ArchitectureOfProgram(const std::string& head);

struct LauncherIdentity {
  ProgramKind kind = ProgramKind::kOther;  // kWindows: a Windows stub; kLinux: the Linux launcher
  // The stub's file name as the build makes it: "launcher.exe", "launcher64.exe",
  // "launcher" (the Linux launcher).
  std::string stub;
  std::string architecture;  // as ArchitectureOfProgram names it
  std::string version;
};

// The launcher that the first imageSize bytes of file are (a launcher file, or a
// package's launcher image), or none when they are no launcher of this project.
// Read in pieces: memory stays the same whatever size the image has. A Windows stub is known by its version record: the product's
// name, and the original file name, which must agree with the processor its header
// names. When the image carries the product's name but is no stub sfxpkg knows, or
// its parts disagree, why tells it (one clause, for after "no launcher of ...: ").
std::optional<LauncherIdentity> IdentifyLauncher(const std::filesystem::path& file, uint64_t imageSize,
                                                 std::string* why = nullptr);

// A regular file's first size bytes (fewer when it is shorter; none from a pipe or
// a device): enough of a program to tell its kind.
std::string ReadFileStart(const std::filesystem::path& path, size_t size);
// "launcher64.exe 1.0.0.0 (x86_64)", "the Linux launcher 1.0.0 (x86_64)".
std::string DescribeLauncher(const LauncherIdentity& launcher);
// How messages name the launcher: "launcher64.exe", "the Linux launcher".
std::string LauncherName(const LauncherIdentity& launcher);
// Why an engine of that kind cannot run behind the launcher: "... is a Linux
// program, which launcher.exe cannot start" (what is given as subject first).
std::string EngineMismatch(const std::string& subject, const LauncherIdentity& launcher, ProgramKind engine);

// Whether an engine of this kind can run behind that launcher.
bool EngineSuits(ProgramKind launcher, ProgramKind engine);

// Where a Windows engine that the Windows stub starts fails on systems the stub
// itself runs on: a 32-bit engine behind launcher64.exe (64-bit Windows without
// WoW64), a 64-bit one behind launcher.exe (32-bit Windows), one for another
// processor. One clause after subject; none when the engine runs wherever the stub
// does, or when either is no Windows program.
std::optional<std::string> EngineArchitectureWarning(const std::string& subject, const LauncherIdentity& launcher,
                                                     const std::string& engineHead);

}  // namespace sfxpkg
