// What a program file is: a launcher of this project (and which), a Windows or a
// Linux program, a script; for the checks that a package's pieces suit each other.
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

struct LauncherIdentity {
  ProgramKind kind = ProgramKind::kOther;  // kWindows: launcher.exe; kLinux: the Linux launcher
  std::string version;
};

// The launcher the image (a whole launcher file) is, or none when it is no
// launcher of this project.
std::optional<LauncherIdentity> IdentifyLauncher(const std::string& image);

// A file's first size bytes (fewer when it is shorter): a package's launcher image,
// or enough of a program to tell its kind.
std::string ReadFileStart(const std::filesystem::path& path, uint64_t size);
// "launcher.exe 1.0.0", "the Linux launcher 1.0.0".
std::string DescribeLauncher(const LauncherIdentity& launcher);
// Why an engine of that kind cannot run behind the launcher: "... is a Linux
// program, which launcher.exe cannot start" (what is given as subject first).
std::string EngineMismatch(const std::string& subject, ProgramKind launcher, ProgramKind engine);

// Whether an engine of this kind can run behind that launcher.
bool EngineSuits(ProgramKind launcher, ProgramKind engine);

}  // namespace sfxpkg
