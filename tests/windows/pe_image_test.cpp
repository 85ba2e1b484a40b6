// launcher.exe as Windows' loader and Explorer read it: what makes it start on
// every system from Windows XP SP3 on, unprivileged, with its manifest, version
// record and icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "support/launcher_package.h"

namespace fs = std::filesystem;

namespace windowstest {
namespace {

class LauncherImage : public testing::Test {
 protected:
  static void SetUpTestSuite() { bytes_ = testsupport::ReadFileBytes(testsupport::LauncherProgram()); }

  template <typename T>
  static T At(size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes_.size()) std::memcpy(&value, bytes_.data() + offset, sizeof value);
    return value;
  }
  static IMAGE_NT_HEADERS32 Headers() { return At<IMAGE_NT_HEADERS32>(At<IMAGE_DOS_HEADER>(0).e_lfanew); }
  static IMAGE_DATA_DIRECTORY Directory(int index) { return Headers().OptionalHeader.DataDirectory[index]; }

  // Where a relative virtual address lies in the file.
  static size_t FileOffset(DWORD rva) {
    const auto dos = At<IMAGE_DOS_HEADER>(0);
    const auto nt = Headers();
    const size_t sections = static_cast<size_t>(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                            nt.FileHeader.SizeOfOptionalHeader;
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
      const auto section = At<IMAGE_SECTION_HEADER>(sections + i * sizeof(IMAGE_SECTION_HEADER));
      if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.Misc.VirtualSize) {
        return rva - section.VirtualAddress + section.PointerToRawData;
      }
    }
    return bytes_.size();
  }
  static std::string TextAt(size_t offset) {
    return offset < bytes_.size() ? std::string(bytes_.c_str() + offset) : std::string();
  }

  static std::string bytes_;
};
std::string LauncherImage::bytes_;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) { return std::tolower(ch); });
  return text;
}

TEST_F(LauncherImage, IsA32BitGuiProgramThatXpLoadsWithAslrAndDep) {
  ASSERT_EQ(At<IMAGE_DOS_HEADER>(0).e_magic, IMAGE_DOS_SIGNATURE);
  const auto nt = Headers();
  ASSERT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
  EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
  EXPECT_EQ(nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  // XP's loader refuses a program that asks for a newer subsystem than its own 5.1.
  const auto version = [](WORD major, WORD minor) { return major << 16 | minor; };
  EXPECT_LE(version(nt.OptionalHeader.MajorSubsystemVersion, nt.OptionalHeader.MinorSubsystemVersion), version(5, 1));
  EXPECT_GE(version(nt.OptionalHeader.MajorSubsystemVersion, nt.OptionalHeader.MinorSubsystemVersion), version(4, 0));
  EXPECT_LE(version(nt.OptionalHeader.MajorOperatingSystemVersion, nt.OptionalHeader.MinorOperatingSystemVersion),
            version(5, 1));
  // ASLR needs the relocations as well as the flag.
  EXPECT_TRUE(nt.OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
  EXPECT_TRUE(nt.OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
  EXPECT_FALSE(nt.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
  EXPECT_GT(Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size, 0u);
  // No link time: a stub built again from the same sources is the same file.
  EXPECT_EQ(nt.FileHeader.TimeDateStamp, 0u);
}

TEST_F(LauncherImage, ImportsOnlyWhatWindowsXpSp3Exports) {
  // The allowed functions, by DLL (names compared without case).
  std::map<std::string, std::set<std::string>> allowed;
  std::ifstream list(testsupport::ProgramFolder() / "fixtures" / "xp_sp3_exports.txt");
  ASSERT_TRUE(list.good());
  std::string line, dll;
  while (std::getline(list, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      dll = Lower(line.substr(1, line.size() - 2));
    } else {
      allowed[dll].insert(line);
    }
  }
  ASSERT_EQ(allowed.size(), 5u);

  // Functions that are not imported cannot slip past: no delay-loaded ones.
  EXPECT_EQ(Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u);
  std::vector<std::string> unexpected;
  size_t imported = 0;
  size_t at = FileOffset(Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
  for (auto entry = At<IMAGE_IMPORT_DESCRIPTOR>(at); entry.Name != 0;
       at += sizeof entry, entry = At<IMAGE_IMPORT_DESCRIPTOR>(at)) {
    const std::string name = TextAt(FileOffset(entry.Name));
    const auto known = allowed.find(Lower(name));
    const DWORD thunks = entry.OriginalFirstThunk != 0 ? entry.OriginalFirstThunk : entry.FirstThunk;
    for (size_t thunk = FileOffset(thunks); At<DWORD>(thunk) != 0; thunk += sizeof(DWORD)) {
      ++imported;
      const DWORD value = At<DWORD>(thunk);
      const std::string function = (value & IMAGE_ORDINAL_FLAG32) != 0
                                       ? "#" + std::to_string(value & 0xFFFF)  // by number: not checkable
                                       : TextAt(FileOffset(value) + offsetof(IMAGE_IMPORT_BY_NAME, Name));
      if (known == allowed.end() || known->second.count(function) == 0) unexpected.push_back(name + "!" + function);
    }
  }
  EXPECT_GT(imported, 20u);
  EXPECT_EQ(unexpected, std::vector<std::string>{});
}

// The image mapped as data, for its resources.
class ResourceModule {
 public:
  ResourceModule()
      : module_(LoadLibraryExW(testsupport::LauncherProgram().wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~ResourceModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;

  std::string Resource(WORD id, LPCWSTR type) const {
    HRSRC found = module_ != nullptr ? FindResourceW(module_, MAKEINTRESOURCEW(id), type) : nullptr;
    HGLOBAL loaded = found != nullptr ? LoadResource(module_, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    return data != nullptr ? std::string(static_cast<const char*>(data), SizeofResource(module_, found))
                           : std::string();
  }

 private:
  HMODULE module_;
};

// An element's attributes, for an element that occurs once.
std::map<std::string, std::string> Attributes(const std::string& xml, const std::string& element) {
  std::map<std::string, std::string> attributes;
  std::smatch tag;
  if (!std::regex_search(xml, tag, std::regex("<" + element + "\\s([^>]*)>"))) return attributes;
  const std::string inside = tag[1];
  const std::regex attribute("([\\w:]+)\\s*=\\s*\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(inside.begin(), inside.end(), attribute); it != std::sregex_iterator(); ++it) {
    attributes[(*it)[1]] = (*it)[2];
  }
  return attributes;
}

TEST_F(LauncherImage, ManifestAsInvokerWithCommonControlsDpiAwareAndTheSupportedSystems) {
  const std::string manifest = ResourceModule().Resource(1, RT_MANIFEST);
  ASSERT_FALSE(manifest.empty());
  EXPECT_EQ(Attributes(manifest, "requestedExecutionLevel")["level"], "asInvoker");

  std::smatch dependency;
  ASSERT_TRUE(std::regex_search(manifest, dependency, std::regex("<dependentAssembly>\\s*(<assemblyIdentity[^>]*>)")));
  auto controls = Attributes(dependency[1].str(), "assemblyIdentity");
  EXPECT_EQ(controls["name"], "Microsoft.Windows.Common-Controls");
  EXPECT_EQ(controls["version"], "6.0.0.0");
  EXPECT_EQ(controls["processorArchitecture"], "x86");
  EXPECT_EQ(controls["publicKeyToken"], "6595b64144ccf1df");

  EXPECT_TRUE(std::regex_search(manifest, std::regex("<dpiAware[^>]*>\\s*true\\s*</dpiAware>")));

  std::set<std::string> systems;
  const std::regex supported("<supportedOS\\s+Id=\"(\\{[^\"]*\\})\"");
  for (auto it = std::sregex_iterator(manifest.begin(), manifest.end(), supported); it != std::sregex_iterator();
       ++it) {
    systems.insert((*it)[1]);
  }
  EXPECT_EQ(systems, (std::set<std::string>{
                         "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
                         "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
                         "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
                         "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
                         "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
                     }));
}

TEST_F(LauncherImage, VersionRecordAsExplorerShowsIt) {
  const std::wstring path = testsupport::LauncherProgram().wstring();
  DWORD ignored = 0;
  std::vector<char> record(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(record.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
  void* value = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", &value, &size));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  const auto text = [&](const wchar_t* name) {
    wchar_t* found = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    return VerQueryValueW(record.data(), key.c_str(), reinterpret_cast<void**>(&found), &length) && found != nullptr
               ? std::wstring(found)
               : std::wstring();
  };
  EXPECT_EQ(text(L"OriginalFilename"), L"launcher.exe");
  EXPECT_EQ(text(L"FileVersion"), L"" SFX_EXPECTED_FILE_VERSION);
  EXPECT_FALSE(text(L"FileDescription").empty());
  EXPECT_FALSE(text(L"ProductName").empty());
}

TEST_F(LauncherImage, IconInTheSizesExplorerShows) {
  const ResourceModule module;
  const std::string group = module.Resource(1, RT_GROUP_ICON);
  ASSERT_GE(group.size(), 6u);
  // The icon group: a 6-byte header, then 14 bytes per image.
  WORD count = 0;
  std::memcpy(&count, group.data() + 4, sizeof count);
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::set<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    const char* entry = group.data() + 6 + 14 * i;
    WORD id = 0;
    std::memcpy(&id, entry + 12, sizeof id);
    std::string image = module.Resource(id, RT_ICON);
    HICON icon = image.empty()
                     ? nullptr
                     : CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&image[0]), static_cast<DWORD>(image.size()),
                                                TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
    EXPECT_NE(icon, nullptr) << "icon image " << id;
    if (icon != nullptr) {
      sizes.insert(static_cast<uint8_t>(entry[0]));
      DestroyIcon(icon);
    }
  }
  EXPECT_TRUE(sizes.count(16) && sizes.count(32)) << "small and large icons";
}

}  // namespace
}  // namespace windowstest
