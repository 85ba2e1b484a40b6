// The same inputs make the same package, byte for byte: a signed release can be
// rebuilt and compared.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "sfxpkg_tool.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(Reproducible, TheSameInputsMakeTheSameBytes) {
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  fs::create_directories(scratch.Path() / "first");
  fs::create_directories(scratch.Path() / "second folder");
  const auto build = [&](const fs::path& output, const std::vector<std::string>& extra = {}) {
    const auto result = sfxpkgtest::Sfxpkg(sfxpkgtest::BuildArguments(inputs, "Pa55-word", output, extra));
    EXPECT_EQ(result.exitCode, 0u) << result.standardError;
    return testsupport::ReadFileBytes(output);
  };
  const std::string first = build(scratch.Path() / "first" / "Package.exe");
  // Another time (zip times have two-second steps) and another folder.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  const std::string second = build(scratch.Path() / "second folder" / "Setup.exe");
  EXPECT_TRUE(first == second) << "the packages differ";
  // Random encryption headers are asked for by name, and then differ.
  EXPECT_FALSE(build(scratch.Path() / "Random.exe", {"--random-headers"}) == first);
}

TEST(Reproducible, SourceDateEpochFixesTheMembersTimes) {
  testsupport::ScratchFolder scratch;
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
  const auto build = [&](const char* name) {
    testsupport::ScopedEnvironmentVariable epoch("SOURCE_DATE_EPOCH", L"1700000000");
    const auto output = scratch.Path() / name;
    EXPECT_EQ(sfxpkgtest::Sfxpkg(sfxpkgtest::BuildArguments(inputs, "Pa55-word", output)).exitCode, 0u);
    return testsupport::ReadFileBytes(output);
  };
  const std::string before = build("a.exe");
  // The inputs are touched: with SOURCE_DATE_EPOCH their times do not count.
  fs::last_write_time(inputs.data, fs::last_write_time(inputs.data) + std::chrono::hours(30));
  EXPECT_TRUE(build("b.exe") == before) << "the packages differ";
}

}  // namespace
