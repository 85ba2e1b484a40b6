// Names the extraction can take without loss. It works in the system's 8-bit code
// page, where a character the code page lacks would be replaced by a look-alike:
// the files would go to another folder, or under a name the engine is not started by.
#pragma once

#include <optional>
#include <string>

namespace app {

// The working folder (existing, ending in a separator) as the extraction is given
// it: itself where it converts without loss, otherwise the system's short form of
// it where that does; none when neither does.
std::optional<std::wstring> FolderForExtraction(const std::wstring& folder);

// The same decision with the system's two answers given, for a test that has no
// system to switch short names off.
using ConvertsWithoutLoss = bool (*)(const std::wstring& text);
using ShortPathOf = std::wstring (*)(const std::wstring& path);
std::optional<std::wstring> ChooseFolderForExtraction(const std::wstring& folder, ConvertsWithoutLoss converts,
                                                      ShortPathOf shortPath);

// The name the setup engine is extracted, started and cleaned up under: the
// package's own where it converts without loss, otherwise the same with "_" for
// every character the code page lacks.
std::wstring EngineFileName(const std::wstring& packageFileName);

}  // namespace app
