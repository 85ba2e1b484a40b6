#include "sfxpkg_tool.h"

#include <fstream>

#include "support/launcher_package.h"
#include "support/package_fixtures.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace sfxpkgtest {

fs::path SfxpkgProgram() {
#ifdef _WIN32
  return testsupport::ProgramFolder() / "sfxpkg.exe";
#else
  return testsupport::ProgramFolder() / "sfxpkg";
#endif
}

testsupport::ProgramResult Sfxpkg(const std::vector<std::string>& arguments) {
  return testsupport::RunTool(SfxpkgProgram(), arguments);
}

std::string U8(const fs::path& path) { return path.u8string(); }

PackageInputs WriteInputs(const fs::path& folder) {
  fs::create_directories(folder);
  PackageInputs inputs;
  inputs.launcher = testsupport::LauncherProgram();
  inputs.engineBytes = testsupport::ReadFileBytes(testsupport::TestEngineProgram());
  inputs.dataBytes = "[Setup]\r\nProduct=Demo\r\n" + testsupport::SampleBytes(5000, 11);
  inputs.uiBytes = testsupport::SampleBytes(90000, 12);
  inputs.expBytes = testsupport::SampleBytes(700, 13);
  const auto write = [&folder](const char* name, const std::string& bytes) {
    const fs::path path = folder / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  };
  inputs.engine = write("engine.bin", inputs.engineBytes);
  inputs.data = write("data.bin", inputs.dataBytes);
  inputs.ui = write("ui.bin", inputs.uiBytes);
  inputs.exp = write("exp.bin", inputs.expBytes);
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
