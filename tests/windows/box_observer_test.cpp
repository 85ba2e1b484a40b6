// The box observer against boxes whose look is known: if it misreads a caption, a
// text or an icon, or presses anything but OK, every other Windows test is blind.
#include <gtest/gtest.h>

#include "observed_boxes.h"
#include "support/scratch_folder.h"

namespace windowstest {
namespace {

TEST(BoxObserver, ReadsEveryBoxInOrderAndPressesOk) {
  const auto result = testsupport::RunProgram(testsupport::ProgramFolder() / "show_boxes.exe",
                                              {L"10", L"-", L"Stop, no caption",               // MB_ICONHAND
                                               L"30", L"Warnung", L"Achtung:\n\nzwei Zeilen",  // MB_ICONEXCLAMATION
                                               L"40", L"Info", L"information",                 // MB_ICONASTERISK
                                               L"20", L"Frage", L"question",                   // MB_ICONQUESTION
                                               L"200000", L"Setup", L"no icon",  // MB_SERVICE_NOTIFICATION alone
                                               L"200010", L"-", L"Corrupt file!"});
  ASSERT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.boxes, (std::vector<ObservedBox>{
                              Box(L"Error", L"Stop, no caption", BoxIcon::kStop),
                              Box(L"Warnung", L"Achtung:\n\nzwei Zeilen", BoxIcon::kExclamation),
                              Box(L"Info", L"information", BoxIcon::kInformation),
                              Box(L"Frage", L"question", BoxIcon::kQuestion),
                              Box(L"Setup", L"no icon", BoxIcon::kNone),
                              CorruptFileBox(),
                          }));
  EXPECT_EQ(result.exitCode, 6u);  // every box was answered with OK
}

TEST(BoxObserver, SeesTheButtonsOfABoxAndStillEndsIt) {
  // MB_YESNO | MB_ICONQUESTION: a box without OK gets its first button.
  const auto result =
      testsupport::RunProgram(testsupport::ProgramFolder() / "show_boxes.exe", {L"24", L"Frage", L"Weiter?"});
  ASSERT_EQ(result.boxes.size(), 1u);
  EXPECT_EQ(result.boxes[0].buttons, (std::vector<std::wstring>{L"&Yes", L"&No"}));
  EXPECT_EQ(result.boxes[0].icon, BoxIcon::kQuestion);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0u);
}

}  // namespace
}  // namespace windowstest
