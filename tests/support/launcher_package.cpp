#include "support/launcher_package.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <regex>

#include "package/package_trailer.h"
#include "platform/platform.h"
#include "support/message_box_recorder.h"

namespace fs = std::filesystem;

namespace testsupport {

// The build gives the programs' file names (launcher64.exe in the 64-bit Windows build).
fs::path LauncherProgram() { return ProgramFolder() / SFX_LAUNCHER_FILE_NAME; }
fs::path TestEngineProgram() { return ProgramFolder() / SFX_TEST_ENGINE_FILE_NAME; }

fs::path WritePackage(const fs::path& path, const std::string& payload) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string image = ReadFileBytes(LauncherProgram());
  out.write(image.data(), static_cast<std::streamsize>(image.size()));
  out.write(payload.data(), static_cast<std::streamsize>(payload.size()));
  out.close();
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
  return path;
}

std::string PackagePayload(const std::vector<sfxpkg::ArchiveMember>& members, const std::string& password) {
  return ZipBytes(members) + package::BuildPackageTrailer(password, "", 1);
}

std::string PackagePayload(const PackageContent& content, const std::string& password) {
  return PackagePayload(PackageMembers(content, password), password);
}

PackageContent ContentWithTestEngine() {
  PackageContent content;
  content.engine = ReadFileBytes(TestEngineProgram());
  return content;
}

bool BoxesOnStandardError() {
#ifdef _WIN32
  return false;
#else
  return true;
#endif
}

ExpectedBox FatalErrorBox(const std::string& appName, const std::wstring& message, int lastError) {
  return {appName, Utf8(FatalBox(message) + platform::SystemErrorText(lastError))};
}

ExpectedBox FolderNotCreatedBox(const fs::path& folder) {
  return LauncherBox("The installer has insufficient privileges to create this directory:\n" + folder.u8string() +
                     Utf8(std::wstring(1, platform::kPathSeparator)) + ".\nThe installation cannot continue.");
}

namespace {
int g_boxChecks = 0;
}

void ExpectBoxes(const ProgramResult& result, const std::vector<ExpectedBox>& expected) {
  ++g_boxChecks;
#ifdef _WIN32
  std::vector<std::string> shown, wanted;
  for (const ObservedBox& box : result.boxes) shown.push_back(Utf8(box.caption) + ": " + Utf8(box.text));
  for (const ExpectedBox& box : expected) wanted.push_back(box.caption.value_or("Error") + ": " + box.text);
  EXPECT_EQ(shown, wanted);
#else
  // Each box on a line of its own: the caption first where there is one.
  std::string wanted;
  for (const ExpectedBox& box : expected) {
    std::string line = (box.caption ? *box.caption + ": " : "") + box.text;
    if (line.empty() || line.back() != '\n') line += '\n';
    wanted += line;
  }
  EXPECT_EQ(result.standardError, wanted);
#endif
}

void ExpectLogLines(const fs::path& log, const std::vector<ExpectedBox>& expected) {
  std::vector<std::string> wanted;
  for (const ExpectedBox& box : expected) {
    std::string line = box.caption.value_or("Error") + ": ";
    for (const char ch : box.text) {
      if (ch != '\r' && ch != '\n') {
        line.push_back(ch);
      } else if (line.back() != ' ') {
        line.push_back(' ');
      }
    }
    while (line.back() == ' ') line.pop_back();
    wanted.push_back(line);
  }
  std::vector<std::string> logged;
  std::istringstream lines(fs::exists(log) ? ReadFileBytes(log) : std::string());
  const std::regex stamped("(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) (.*)");
  for (std::string line; std::getline(lines, line);) {
    std::smatch parts;
    logged.push_back(std::regex_match(line, parts, stamped) ? parts[2].str() : "<not stamped> " + line);
  }
  EXPECT_EQ(logged, wanted);
}

uint32_t ExitStatus(uint32_t windows, uint32_t posix) { return BoxesOnStandardError() ? posix : windows; }

int BoxChecks() { return g_boxChecks; }

const std::vector<std::string> kFiveFiles = {"Package.exe", "Setup_Exp.dll", "Setup_UI.dll", "setup.cfg",
                                             "setup.dat"};

std::string ValueOf(const std::string& text, const std::string& key) {
  const size_t at = text.find(key + "=");
  if (at == std::string::npos) return "<no " + key + ">";
  const size_t start = at + key.size() + 1;
  return text.substr(start, text.find_first_of("\r\n", start) - start);
}

std::string ProfileValue(const std::string& settings, const std::string& key) {
  const std::string value = ValueOf(settings, key);
  const bool enclosed = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
  return enclosed ? value.substr(1, value.size() - 2) : value;
}

std::string Utf8(const std::wstring& text) { return fs::path(text).u8string(); }

LauncherSandbox::LauncherSandbox() : temp_(scratch_.Path() / "temp"), report_(scratch_.Path() / "report") {
  fs::create_directories(temp_);
}

ProgramResult LauncherSandbox::Start(const fs::path& package, const std::vector<std::wstring>& arguments,
                                     std::map<std::string, std::wstring> environment) const {
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) environment.emplace(name, temp_.wstring());
  environment.emplace("SFX_TEST_REPORT", report_.wstring());
  return RunProgram(package, arguments, environment);
}

std::vector<std::string> LauncherSandbox::TempEntries(const fs::path& sub) const {
  return scratch_.Entries(fs::path("temp") / sub);
}

}  // namespace testsupport
