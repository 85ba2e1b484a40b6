#include "sfxpkg_tool.h"

#include <fstream>

#include "support/launcher_package.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace sfxpkgtest {

// The build gives the program's file name.
fs::path SfxpkgProgram() { return testsupport::ProgramFolder() / SFX_SFXPKG_FILE_NAME; }

testsupport::ProgramResult Sfxpkg(const std::vector<std::string>& arguments) {
  return testsupport::RunTool(SfxpkgProgram(), arguments);
}

std::string U8(const fs::path& path) { return path.u8string(); }

PackageInputs WriteInputs(const fs::path& folder) {
  fs::create_directories(folder);
  PackageInputs inputs;
  inputs.launcher = testsupport::LauncherProgram();
  inputs.content = testsupport::ContentWithTestEngine();
  const auto write = [&folder](const char* name, const std::string& bytes) {
    const fs::path path = folder / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  };
  inputs.engine = write("engine.bin", inputs.content.engine);
  inputs.data = write("data.bin", inputs.content.data);
  inputs.ui = write("ui.bin", inputs.content.ui);
  inputs.exp = write("exp.bin", inputs.content.exp);
  return inputs;
}

std::vector<std::string> BuildArguments(const PackageInputs& inputs, const std::string& password,
                                        const fs::path& output, const std::vector<std::string>& extra) {
  std::vector<std::string> arguments = {"build",        "--launcher", U8(inputs.launcher), "--engine", U8(inputs.engine),
                                        "--data",       U8(inputs.data), "--ui",           U8(inputs.ui), "--exp",
                                        U8(inputs.exp), "--password", password,            "-o",       U8(output)};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

}  // namespace sfxpkgtest
