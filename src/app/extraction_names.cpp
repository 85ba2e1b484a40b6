// Choosing the folder and the engine name that the 8-bit extraction can take.
#include "app/extraction_names.h"

#include "platform/platform.h"

namespace app {
namespace {

bool Converts(const std::wstring& text) { return platform::ToAnsiExact(text).has_value(); }

bool IsHighSurrogate(wchar_t ch) { return sizeof(wchar_t) == 2 && ch >= 0xD800 && ch <= 0xDBFF; }

}  // namespace

std::optional<std::wstring> ChooseFolderForExtraction(const std::wstring& folder, ConvertsWithoutLoss converts,
                                                      ShortPathOf shortPath) {
  if (converts(folder)) return folder;
  std::wstring shortFolder = shortPath(folder);
  if (shortFolder.empty()) return std::nullopt;
  if (shortFolder.back() != platform::kPathSeparator) shortFolder.push_back(platform::kPathSeparator);
  if (!converts(shortFolder)) return std::nullopt;
  return shortFolder;
}

std::optional<std::wstring> FolderForExtraction(const std::wstring& folder) {
  return ChooseFolderForExtraction(folder, &Converts, &platform::ShortPath);
}

std::wstring EngineFileName(const std::wstring& packageFileName) {
  if (Converts(packageFileName)) return packageFileName;
  std::wstring name;
  for (size_t i = 0; i < packageFileName.size(); ++i) {
    // A character beyond the 16-bit range is two code units on Windows: one character.
    const size_t length = IsHighSurrogate(packageFileName[i]) && i + 1 < packageFileName.size() ? 2 : 1;
    const std::wstring character = packageFileName.substr(i, length);
    name += Converts(character) ? character : L"_";
    i += length - 1;
  }
  return name;
}

}  // namespace app
