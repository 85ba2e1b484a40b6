#include <gtest/gtest.h>

#include "framework/afxwin.h"
#include "package_extraction/fatal_error.h"
#include "platform/platform.h"
#include "support/message_box_recorder.h"

namespace {

TEST(FatalError, JoinsTheMessageWithTheSystemTextOfTheLastError) {
  struct Case {
    int lastError;
    int code;
    int textOf;
  };
  // The code is returned, never used for the text; no last error reads as code 1.
  const Case cases[] = {{5, 1620, 5}, {0, 86, 1}, {2, -7, 2}};
  CWinApp app;
  for (const Case& c : cases) {
    testsupport::MessageBoxRecorder boxes;
    platform::SetLastError(c.lastError);
    EXPECT_EQ(package::ReportFatalError(L"Corrupt archive!", c.code), c.code);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const platform::MessageBoxRequest& box = boxes.Boxes()[0];
    EXPECT_EQ(box.text, L"Fatal error:\n\nCorrupt archive! " + platform::SystemErrorText(c.textOf));
    EXPECT_EQ(box.style, platform::kMbOk | platform::kMbIconHand);
    EXPECT_EQ(box.caption, app.AppName());  // the framework's box: the application's name
    EXPECT_FALSE(app.AppName().empty());
  }
}

TEST(FatalError, AnEmptySystemTextLeavesTheMessageAndOneSpace) {
  testsupport::MessageBoxRecorder boxes;
  platform::SetLastError(0x2FFFFFFF);  // a code no system has a text for
  package::ReportFatalError(L"Alloc failed!", 14);
  EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"Fatal error:\n\nAlloc failed! "});
}

}  // namespace
