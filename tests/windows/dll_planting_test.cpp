// A package in a Downloads folder where someone has left a DLL named like a system
// library: the launcher must never load it.
#include <gtest/gtest.h>

#include "observed_boxes.h"
#include "support/launcher_package.h"
#include "wine_app_defaults.h"

namespace fs = std::filesystem;

namespace windowstest {
namespace {

TEST(DllPlanting, ALibraryBesideThePackageIsNotLoaded) {
  testsupport::LauncherSandbox box;
  const fs::path downloads = box.Scratch().Path() / "Downloads";
  // Without a marker the run shows "Corrupt file!", and the box's theming is loaded
  // on demand: uxtheme.dll, searched for when the box opens.
  const fs::path package = testsupport::WritePackage(downloads / "Planted Setup.exe", "");
  fs::copy_file(testsupport::ProgramFolder() / "planted_library.dll", downloads / "uxtheme.dll");

  // Wine keeps to its own copy of a system library even when its search finds
  // another file first; native first, it loads what it finds, as Windows does.
  const WineAppDefault nativeFirst(L"Planted Setup.exe", L"DllOverrides", L"uxtheme", L"native,builtin");
  const auto result = box.Start(package);
  EXPECT_EQ(result.exitCode, 1620u);
  EXPECT_EQ(result.boxes, std::vector<ObservedBox>{CorruptFileBox()});
  EXPECT_FALSE(fs::exists(downloads / "uxtheme.dll.loaded"));
}

}  // namespace
}  // namespace windowstest
