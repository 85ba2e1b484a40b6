// Running sfxpkg the way a package author does, and the inputs of a package.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/package_fixtures.h"
#include "support/process.h"

namespace sfxpkgtest {

// The sfxpkg program built beside the tests.
std::filesystem::path SfxpkgProgram();
testsupport::ProgramResult Sfxpkg(const std::vector<std::string>& arguments);

std::string U8(const std::filesystem::path& path);

// The files a package is built from: the real launcher and the four members of a
// package with the test setup engine, written into a folder.
struct PackageInputs {
  std::filesystem::path launcher, engine, data, ui, exp;
  testsupport::PackageContent content;  // what engine, data, ui and exp hold
};
PackageInputs WriteInputs(const std::filesystem::path& folder);

// The arguments of "sfxpkg build" for inputs, with extra ones appended.
std::vector<std::string> BuildArguments(const PackageInputs& inputs, const std::string& password,
                                        const std::filesystem::path& output, const std::vector<std::string>& extra = {});

}  // namespace sfxpkgtest
