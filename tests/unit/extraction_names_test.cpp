// The folder and engine name the 8-bit extraction is given: never a look-alike.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/extraction_names.h"
#include "platform/platform.h"

namespace {

// A code page without "ę": the folder converts only through its short form, when
// the system gives one.
bool AsciiOnly(const std::wstring& text) {
  for (const wchar_t ch : text) {
    if (static_cast<unsigned>(ch) > 0x7F) return false;
  }
  return true;
}
std::wstring ShortFormOf(const std::wstring&) { return L"C:\\T_MP~0YG\\KIVOTE~1"; }
std::wstring NoShortForm(const std::wstring&) { return L""; }
std::wstring NonAsciiShortForm(const std::wstring&) { return L"C:\\TĘMP~1\\KIVOTE~1\\"; }

TEST(ExtractionNames, AFolderOutsideTheCodePageIsReachedByItsShortFormOrNotAtAll) {
  const std::wstring plain = L"C:\\Temp\\KIVOTemp0\\";
  const std::wstring polish = L"C:\\Tęmp Łukasz\\KIVOTemp0\\";
  EXPECT_EQ(app::ChooseFolderForExtraction(plain, &AsciiOnly, &NoShortForm), plain);
  // The short form gets the separator the extraction expects at the end.
  EXPECT_EQ(app::ChooseFolderForExtraction(polish, &AsciiOnly, &ShortFormOf),
            L"C:\\T_MP~0YG\\KIVOTE~1" + std::wstring(1, platform::kPathSeparator));
  // Short names switched off on the volume, or a short form that would be bent too.
  EXPECT_EQ(app::ChooseFolderForExtraction(polish, &AsciiOnly, &NoShortForm), std::nullopt);
  EXPECT_EQ(app::ChooseFolderForExtraction(polish, &AsciiOnly, &NonAsciiShortForm), std::nullopt);
}

TEST(ExtractionNames, AnEngineNameOutsideTheCodePageLosesOnlyWhatItCannotHold) {
  EXPECT_EQ(app::EngineFileName(L"Setup 4.2.exe"), L"Setup 4.2.exe");
  // Greek omega has no place in a Western code page; on POSIX every name is kept.
  const std::wstring greek = L"Setup-\u03A9 4.2.exe";
  const std::wstring expected = platform::ToAnsiExact(greek) ? greek : L"Setup-_ 4.2.exe";
  EXPECT_EQ(app::EngineFileName(greek), expected);
}

}  // namespace
