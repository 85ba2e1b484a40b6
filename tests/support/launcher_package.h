#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The launcher program built beside the tests.
std::filesystem::path LauncherProgram();

// Writes a runnable package: the launcher's image followed by payload (an archive
// and trailer, or anything a test wants behind the image).
std::filesystem::path WritePackage(const std::filesystem::path& path, const std::string& payload);

// True where a message box is written to standard error, so a test can read it.
bool BoxesOnStandardError();

}  // namespace testsupport
