#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "package_extraction/path_helpers.h"

namespace {

// Cases are written with Windows separators; on POSIX the roles swap ('/' is the
// native separator there), so the same cases check the mirror image.
std::string Native(std::string text) {
  if (package::NativeSeparator() == '\\') return text;
  for (char& ch : text) ch = ch == '\\' ? '/' : ch == '/' ? '\\' : ch;
  return text;
}

TEST(PathHelpers, NormalizeSeparators) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\a\\\\\\b/c", "C:\\a\\b\\c"},
      {"\\\\server\\share", "\\server\\share"},
      {"a\\/b", "a\\\\b"},  // runs collapse before slashes convert
      {"C:\\out\\setup.dat", "C:\\out\\setup.dat"},
      {"", ""},
  };
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE(input);
    EXPECT_EQ(std::string(package::NormalizeSeparators(Native(input).c_str()).data()), Native(expected));
  }
}

TEST(PathHelpers, ReplaceAllStopsAfter51Replacements) {
  char text[261] = {};
  std::memset(text, '/', 60);
  package::ReplaceAll(text, sizeof text, "/", "\\");
  EXPECT_EQ(std::string(text), std::string(51, '\\') + std::string(9, '/'));
}

TEST(PathHelpers, ReplaceAllNeverOverrunsItsText) {
  char text[8] = "aaaa";
  package::ReplaceAll(text, sizeof text, "a", "bbb");  // each pass grows the text
  EXPECT_EQ(std::string(text), "bbbaaa");  // the next replacement would not fit
}

TEST(PathHelpers, FindFrom) {
  struct Case {
    int start;
    const char* text;
    const char* pattern;
    int expected;
  };
  const Case cases[] = {
      {0, "ab\\cd", "\\", 3}, {2, "a\\b\\c", "\\", 4}, {0, "abc", "\\", 0}, {0, "", "a", 0},
      {0, "abc", "", 0},      {3, "abc", "c", 0},      {-3, "abc", "a", 1}, {9, "abc", "a", 0},
      {1, "abcabc", "bc", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " '" << c.text << "' '" << c.pattern << "'");
    EXPECT_EQ(package::FindFrom(c.start, c.text, c.pattern), c.expected);
  }
}

TEST(PathHelpers, ReverseInPlace) {
  for (const auto& [input, expected] :
       {std::pair<std::string, std::string>{"", ""}, {"a", "a"}, {"ab", "ba"}, {"abc", "cba"}, {"abcd", "dcba"}}) {
    std::string text = input;
    EXPECT_EQ(std::string(package::ReverseInPlace(text.data())), expected);
  }
  EXPECT_EQ(package::ReverseInPlace(nullptr), nullptr);
}

TEST(PathHelpers, CopyToFreshBuffer) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"abcdef", 3, "abc"}, {"ab", 5, "ab"}, {"ab", 0, ""}, {"ab", -2, ""}};
  for (const auto& [text, n, expected] : cases) {
    const platform::CommittedBuffer copy = package::CopyToFreshBuffer(text, n);
    ASSERT_TRUE(copy);
    EXPECT_EQ(std::string(copy.Data()), expected);
  }
}

}  // namespace
