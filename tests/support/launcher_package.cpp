#include "support/launcher_package.h"

#include <fstream>

#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace testsupport {

fs::path LauncherProgram() {
#ifdef _WIN32
  return ProgramFolder() / "launcher.exe";
#else
  return ProgramFolder() / "launcher";
#endif
}

fs::path WritePackage(const fs::path& path, const std::string& payload) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string image = ReadFileBytes(LauncherProgram());
  out.write(image.data(), static_cast<std::streamsize>(image.size()));
  out.write(payload.data(), static_cast<std::streamsize>(payload.size()));
  out.close();
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
  return path;
}

bool BoxesOnStandardError() {
#ifdef _WIN32
  return false;
#else
  return true;
#endif
}

}  // namespace testsupport
