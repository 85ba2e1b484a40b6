// A Windows stub as Windows' loader and Explorer read it: what makes launcher.exe
// start on every system from Windows XP SP3 on and launcher64.exe on every 64-bit
// one, unprivileged, with its manifest, version record and icon. The stub is read
// as a file, so the 64-bit build checks launcher.exe too:
//   pe_image_test --image STUB.exe --arch i686|x86_64 [GoogleTest options]
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "support/launcher_package.h"

namespace fs = std::filesystem;

namespace windowstest {
namespace {

// The stub under test and the processor it is built for.
fs::path g_image;
bool g_is64 = false;

class LauncherImage : public testing::Test {
 protected:
  static void SetUpTestSuite() { bytes_ = testsupport::ReadFileBytes(g_image); }

  template <typename T>
  static T At(size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes_.size()) std::memcpy(&value, bytes_.data() + offset, sizeof value);
    return value;
  }
  // The file header and the fields both optional headers share come first in each.
  static IMAGE_NT_HEADERS32 Headers() { return At<IMAGE_NT_HEADERS32>(NtHeadersAt()); }
  static IMAGE_NT_HEADERS64 Headers64() { return At<IMAGE_NT_HEADERS64>(NtHeadersAt()); }
  static size_t NtHeadersAt() { return static_cast<size_t>(At<IMAGE_DOS_HEADER>(0).e_lfanew); }
  static IMAGE_DATA_DIRECTORY Directory(int index) {
    return g_is64 ? Headers64().OptionalHeader.DataDirectory[index] : Headers().OptionalHeader.DataDirectory[index];
  }

  // Where a relative virtual address lies in the file.
  static size_t FileOffset(DWORD rva) {
    const auto nt = Headers();
    const size_t sections = NtHeadersAt() + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
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

constexpr int Version(WORD major, WORD minor) { return major << 16 | minor; }

// What both stubs share: a GUI program for the given processor, loaded at a random
// address with data that cannot run, started on systems up to newestSystem, with
// no link time (a stub built again from the same sources is the same file).
template <typename NtHeaders>
void ExpectGuiProgramWithAslrAndDep(const NtHeaders& nt, WORD machine, WORD magic, int newestSystem,
                                    DWORD relocations) {
  ASSERT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
  EXPECT_EQ(nt.FileHeader.Machine, machine);
  const auto& o = nt.OptionalHeader;
  EXPECT_EQ(o.Magic, magic);
  EXPECT_EQ(o.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  // A loader refuses a program that asks for a newer subsystem than its own.
  EXPECT_LE(Version(o.MajorSubsystemVersion, o.MinorSubsystemVersion), newestSystem);
  EXPECT_GE(Version(o.MajorSubsystemVersion, o.MinorSubsystemVersion), Version(4, 0));
  EXPECT_LE(Version(o.MajorOperatingSystemVersion, o.MinorOperatingSystemVersion), newestSystem);
  // ASLR needs the relocations as well as the flag.
  EXPECT_TRUE(o.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
  EXPECT_TRUE(o.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
  EXPECT_FALSE(nt.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
  EXPECT_GT(relocations, 0u);
  EXPECT_EQ(nt.FileHeader.TimeDateStamp, 0u);
}

TEST_F(LauncherImage, I686IsA32BitGuiProgramThatXpLoadsWithAslrAndDep) {
  if (g_is64) GTEST_SKIP() << "an x86_64 stub; its headers are checked by X86_64IsA64BitGuiProgram...";
  ASSERT_EQ(At<IMAGE_DOS_HEADER>(0).e_magic, IMAGE_DOS_SIGNATURE);
  // XP's own loader is 5.1.
  ExpectGuiProgramWithAslrAndDep(Headers(), IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC, Version(5, 1),
                                 Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size);
}

TEST_F(LauncherImage, X86_64IsA64BitGuiProgramWithHighEntropyAslrAndDep) {
  if (!g_is64) GTEST_SKIP() << "an i686 stub; its headers are checked by I686IsA32BitGuiProgram...";
  ASSERT_EQ(At<IMAGE_DOS_HEADER>(0).e_magic, IMAGE_DOS_SIGNATURE);
  const auto nt = Headers64();
  // The oldest 64-bit Windows, XP x64 and Server 2003 x64, are 5.2.
  ExpectGuiProgramWithAslrAndDep(nt, IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC, Version(5, 2),
                                 Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size);
  // ASLR across the whole 64-bit address space: the flag, and an image base above 4 GiB.
  EXPECT_TRUE(nt.OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
  EXPECT_TRUE(nt.FileHeader.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE);
  EXPECT_GT(nt.OptionalHeader.ImageBase, 0xFFFFFFFFull);
}

// What XP SP3 exports, and for launcher64.exe what the 64-bit systems (XP x64 on)
// add: the oldest systems each stub must start on.
TEST_F(LauncherImage, ImportsOnlyWhatTheOldestSystemItRunsOnExports) {
  // The allowed functions, by DLL (names compared without case).
  std::map<std::string, std::set<std::string>> allowed;
  std::vector<std::string> lists = {"xp_sp3_exports.txt"};
  if (g_is64) lists.push_back("x64_exports.txt");
  for (const std::string& name : lists) {
    std::ifstream list(testsupport::ProgramFolder() / "fixtures" / name);
    ASSERT_TRUE(list.good()) << name;
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
  }
  ASSERT_EQ(allowed.size(), 6u);

  // Functions that are not imported cannot slip past: no delay-loaded ones.
  EXPECT_EQ(Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u);
  // An import thunk is as wide as a pointer; its top bit marks an import by number.
  const size_t thunkSize = g_is64 ? 8 : 4;
  const uint64_t byNumber = g_is64 ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;
  const auto thunkAt = [&](size_t at) { return g_is64 ? At<uint64_t>(at) : At<uint32_t>(at); };
  std::vector<std::string> unexpected;
  size_t imported = 0;
  size_t at = FileOffset(Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
  for (auto entry = At<IMAGE_IMPORT_DESCRIPTOR>(at); entry.Name != 0;
       at += sizeof entry, entry = At<IMAGE_IMPORT_DESCRIPTOR>(at)) {
    const std::string name = TextAt(FileOffset(entry.Name));
    const auto known = allowed.find(Lower(name));
    const DWORD thunks = entry.OriginalFirstThunk != 0 ? entry.OriginalFirstThunk : entry.FirstThunk;
    for (size_t thunk = FileOffset(thunks); thunkAt(thunk) != 0; thunk += thunkSize) {
      ++imported;
      const uint64_t value = thunkAt(thunk);
      const std::string function =
          (value & byNumber) != 0
              ? "#" + std::to_string(value & 0xFFFF)  // by number: not checkable
              : TextAt(FileOffset(static_cast<DWORD>(value)) + offsetof(IMAGE_IMPORT_BY_NAME, Name));
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
      : module_(LoadLibraryExW(g_image.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
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
  EXPECT_EQ(controls["processorArchitecture"], g_is64 ? "amd64" : "x86");
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
  const std::wstring path = g_image.wstring();
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
  EXPECT_EQ(text(L"OriginalFilename"), g_image.filename().wstring());
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

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::wstring arch;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring option = argv[i];
    if (option == L"--image") windowstest::g_image = argv[i + 1];
    if (option == L"--arch") arch = argv[i + 1];
  }
  if (windowstest::g_image.empty() || (arch != L"i686" && arch != L"x86_64")) {
    std::fprintf(stderr, "usage: pe_image_test --image STUB.exe --arch i686|x86_64 [GoogleTest options]\n");
    return 2;
  }
  if (!fs::exists(windowstest::g_image)) {
    std::fprintf(stderr, "pe_image_test: skipped: %ls has not been built\n", windowstest::g_image.c_str());
    return 77;
  }
  windowstest::g_is64 = arch == L"x86_64";
  return RUN_ALL_TESTS();
}
