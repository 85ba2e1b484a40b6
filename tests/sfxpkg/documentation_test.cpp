// The user documentation stays true: the examples in docs/sfxpkg.md run as shown,
// the man page's examples are those, and both name every option the program's
// help does.
#include <gtest/gtest.h>

#include <fstream>
#include <algorithm>
#include <cstring>
#include <regex>
#include <sstream>

#include "sfxpkg_tool.h"
#include "support/launcher_package.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using sfxpkgtest::U8;

namespace {

const fs::path kSourceFolder = SFX_SOURCE_DIR;
// Where the documentation finds the Linux launcher: its installed place.
constexpr char kInstalledLauncher[] = "/usr/share/sfx-launcher/launcher";
const char* const kCommands[] = {"build", "inspect", "verify", "extract"};

std::string SourceText(const fs::path& name) { return testsupport::ReadFileBytes(kSourceFolder / name); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A command of a console example ("$ " and the lines that continue it with a
// backslash), and what it writes to standard output and standard error together.
struct Example {
  std::string command;
  std::string output;
  size_t line = 0;  // in the document, for the failure's message
};

std::vector<Example> ConsoleExamples(const std::string& markdown) {
  std::vector<Example> examples;
  bool inside = false;
  const std::vector<std::string> lines = Lines(markdown);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!inside) {
      inside = line == "```console";
      continue;
    }
    if (line == "```") {
      inside = false;
    } else if (line.rfind("$ ", 0) == 0) {
      Example example{line.substr(2), "", i + 1};
      while (example.command.back() == '\\' && i + 1 < lines.size()) example.command += "\n" + lines[++i];
      examples.push_back(example);
    } else if (!examples.empty()) {
      examples.back().output += line + "\n";
    }
  }
  return examples;
}

// Offsets and sizes from the launcher image on depend on the image's size, which
// changes with every build of the launcher: each number at or above it is written
// as its distance from it, in the document and in what the program says alike.
std::string RelativeToImage(const std::string& text, uint64_t imageSize) {
  static const std::regex number(R"(\b\d{1,3}(,\d{3})+\b|\b\d+\b)");
  std::string result;
  auto last = text.cbegin();
  for (std::sregex_iterator it(text.begin(), text.end(), number), end; it != end; ++it) {
    std::string digits = it->str();
    digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
    const uint64_t value = digits.size() < 20 ? std::stoull(digits) : 0;
    result.append(last, (*it)[0].first);
    result += value >= imageSize ? "L+" + std::to_string(value - imageSize) : it->str();
    last = (*it)[0].second;
  }
  result.append(last, text.cend());
  return result;
}

uint64_t ImageSizeIn(const std::string& text) {
  std::smatch match;
  if (!std::regex_search(text, match, std::regex(R"(launcher image (?:offset 0, )?([\d,]+) bytes)"))) return 0;
  std::string digits = match[1].str();
  digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
  return std::stoull(digits);
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

// Every console example of docs/sfxpkg.md, run in order in one folder by the shell
// with this build's sfxpkg and launcher, says what the document shows.
TEST(Documentation, TheGuidesExamplesRunAsShown) {
  const std::string markdown = SourceText("docs/sfxpkg.md");
  const std::vector<Example> examples = ConsoleExamples(markdown);
  ASSERT_GE(examples.size(), 10u);
  std::string documented;
  for (const Example& example : examples) documented += example.output;
  const uint64_t documentedImage = ImageSizeIn(documented);
  ASSERT_GT(documentedImage, 0u) << "no example shows the launcher image's size";
  const uint64_t image = fs::file_size(testsupport::LauncherProgram());

  testsupport::ScratchFolder scratch;
  const std::string path = "PATH=" + Quoted(U8(sfxpkgtest::SfxpkgProgram().parent_path())) + ":\"$PATH\"";
  for (const Example& example : examples) {
    SCOPED_TRACE("docs/sfxpkg.md:" + std::to_string(example.line) + ": " + example.command);
    std::string command = example.command;
    for (size_t at = command.find(kInstalledLauncher); at != std::string::npos;
         at = command.find(kInstalledLauncher, at + 1)) {
      const std::string next = command.substr(at + std::strlen(kInstalledLauncher), 1);
      if (next.empty() || next == " " || next == "\n") {
        command.replace(at, std::strlen(kInstalledLauncher), Quoted(U8(testsupport::LauncherProgram())));
      }
    }
    const auto run = testsupport::RunTool(
        "/bin/sh", {"-c", "cd " + Quoted(U8(scratch.Path())) + " && export " + path + " && { " + command + "\n} 2>&1"});
    EXPECT_EQ(RelativeToImage(run.standardOutput, image), RelativeToImage(example.output, documentedImage))
        << "as the program says it:\n"
        << run.standardOutput;
  }
}

// Troff's escapes undone, as man shows the text.
std::string ManText(const std::string& troff) {
  std::string text = std::regex_replace(troff, std::regex(R"(\\f[BIRP])"), "");
  text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
  text = std::regex_replace(text, std::regex(R"(\\e)"), "\\");
  return std::regex_replace(text, std::regex(R"(\\\(aq)"), "'");
}

// The man page's examples are commands of the guide's, which run.
TEST(Documentation, TheManPagesExamplesAreTheGuides) {
  std::vector<std::string> tested;
  for (const Example& example : ConsoleExamples(SourceText("docs/sfxpkg.md"))) tested.push_back(example.command);
  bool inside = false;
  size_t commands = 0;
  std::string command;
  for (const std::string& line : Lines(ManText(SourceText("docs/sfxpkg.1")))) {
    if (line == ".EX" || line == ".EE") {
      inside = line == ".EX";
      continue;
    }
    if (!inside) continue;
    if (command.empty() && line.rfind("$ ", 0) != 0) continue;
    command += (command.empty() ? line.substr(2) : "\n" + line);
    if (command.back() == '\\') continue;
    EXPECT_NE(std::find(tested.begin(), tested.end(), command), tested.end()) << command;
    command.clear();
    ++commands;
  }
  EXPECT_GE(commands, 3u);
}

// The options a command's help lists: "  -o, --output PACKAGE  ..." gives -o and --output.
std::vector<std::string> HelpOptions(const std::string& help) {
  std::vector<std::string> options;
  bool inside = false;
  static const std::regex option(R"(^  (-[a-zA-Z])?(?:, )?(--[a-z][a-z-]*)?)");
  for (const std::string& line : Lines(help)) {
    if (line == "Options:") {
      inside = true;
    } else if (line.empty()) {
      inside = false;
    } else if (std::smatch match; inside && std::regex_search(line, match, option)) {
      if (match[1].matched) options.push_back(match[1].str());
      if (match[2].matched) options.push_back(match[2].str());
    }
  }
  return options;
}

// Text from the line that starts with start to the next that starts with any of ends.
std::string Section(const std::string& text, const std::string& start, const std::vector<std::string>& ends) {
  const std::vector<std::string> lines = Lines(text);
  std::string section;
  bool inside = false;
  for (const std::string& line : lines) {
    if (inside) {
      for (const std::string& end : ends) inside = inside && line.rfind(end, 0) != 0;
      if (!inside) break;
      section += line + "\n";
    } else {
      inside = line.rfind(start, 0) == 0;
      if (inside) section += line + "\n";
    }
  }
  return section;
}

// Every option of every command's help is in its usage line, in the guide's
// synopsis and in the man page's synopsis and options of that command; -V is named too.
TEST(Documentation, EveryOptionIsDocumented) {
  const std::string man = ManText(SourceText("docs/sfxpkg.1"));
  const std::string manSynopsis = Section(man, ".SH SYNOPSIS", {".SH"});
  const std::string guide = SourceText("docs/sfxpkg.md");
  const std::string guideSynopsis = guide.substr(0, guide.find("```\n\n", guide.find("\nsfxpkg build ")));
  for (const char* command : kCommands) {
    SCOPED_TRACE(command);
    const std::string help = sfxpkgtest::Sfxpkg({command, "--help"}).standardOutput;
    const std::string usage = help.substr(0, help.find("\n\n"));
    const std::string manOptions = Section(man, std::string(".SS ") + command, {".SS", ".SH"});
    const std::vector<std::string> options = HelpOptions(help);
    ASSERT_GE(options.size(), 5u) << help;
    // An option is named by itself or by its short form ("-o PACKAGE" for --output).
    const auto named = [&](const std::string& text, const std::string& option) {
      const auto names = [&text](const std::string& name) {
        return std::regex_search(text, std::regex("(^|[^a-z-])" + name + "([^a-z-]|$)"));
      };
      if (names(option)) return true;
      return std::any_of(options.begin(), options.end(), [&](const std::string& alias) {
        return alias.size() == 2 && help.find(alias + ", " + option + " ") != std::string::npos && names(alias);
      });
    };
    for (const std::string& option : options) {
      EXPECT_TRUE(named(manOptions, option)) << option << " is missing from the man page's " << command;
      if (option == "-h" || option == "--help") continue;
      EXPECT_TRUE(named(usage, option)) << option << " is missing from: " << usage;
      EXPECT_TRUE(named(Section(guideSynopsis, std::string("sfxpkg ") + command, {"sfxpkg "}), option))
          << option << " is missing from the guide's synopsis";
      EXPECT_TRUE(named(manSynopsis, option)) << option << " is missing from the man page's synopsis";
    }
  }
  for (const char* option : {"--version", "-V", "--password-env", "--force", "--json"}) {
    EXPECT_NE(man.find(option), std::string::npos) << option;
  }
}

// The man page carries the date it was last changed, and says what JSON holds
// and what a signature line means.
TEST(Documentation, TheManPageIsDatedAndExplainsItsOutputs) {
  const std::string man = ManText(SourceText("docs/sfxpkg.1"));
  EXPECT_TRUE(std::regex_search(man, std::regex(R"(^\.TH SFXPKG 1 "20\d\d-\d\d-\d\d" )")))
      << man.substr(0, man.find('\n'));
  for (const char* said : {"problems", "osslsigncode verify", "signtool verify", "not checked", "SIGTERM",
                           "--password-file -"}) {
    EXPECT_NE(man.find(said), std::string::npos) << said;
  }
}

}  // namespace
