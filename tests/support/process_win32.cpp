// Runs a program to its end on Windows, with its environment set, its output kept
// and its message boxes read off the screen and answered.
#include <windows.h>

#include <algorithm>
#include <set>
#include <utility>

#include "platform/platform.h"
#include "support/process.h"
#include "support/scratch_folder.h"

namespace testsupport {
namespace {

// Bounds that keep a broken run from hanging a test: the whole run, the wait for a
// box's icon to be painted, and the wait for a box to go once OK was pressed.
constexpr DWORD kRunLimitMs = 120000;
constexpr DWORD kPollMs = 20;
constexpr DWORD kIconPaintLimitMs = 3000;
constexpr DWORD kBoxCloseLimitMs = 5000;
constexpr UINT kMessageTimeoutMs = 2000;
// A program that keeps showing boxes is stopped after this many.
constexpr size_t kMaxBoxes = 40;
constexpr UINT kTimedOutExitCode = 0xDEAD0001;
constexpr int kBoxTextControlId = 0xFFFF;
constexpr wchar_t kDialogClass[] = L"#32770";

// A copy of this process's environment with the given changes, as CreateProcessW takes it.
std::wstring EnvironmentBlock(const std::map<std::string, std::wstring>& changes) {
  std::map<std::wstring, std::wstring> variables;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* p = strings; *p != L'\0'; p += wcslen(p) + 1) {
    const std::wstring entry = p;
    const size_t equals = entry.find(L'=', 1);  // names like "=C:" start with '='
    variables[entry.substr(0, equals)] = equals == std::wstring::npos ? L"" : entry.substr(equals + 1);
  }
  FreeEnvironmentStringsW(strings);
  for (const auto& [name, value] : changes) {
    const std::wstring wideName(name.begin(), name.end());
    for (auto it = variables.begin(); it != variables.end();) {
      it = _wcsicmp(it->first.c_str(), wideName.c_str()) == 0 ? variables.erase(it) : std::next(it);
    }
    if (!value.empty()) variables[wideName] = value;
  }
  std::wstring block;
  for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
  block += L'\0';
  return block;
}

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// For another process's window this reads the stored text without sending it a message.
std::wstring WindowText(HWND window) {
  std::wstring text(8192, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
  return text;
}

struct BoxSearch {
  DWORD processId;
  const std::set<HWND>* seen;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<BoxSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window) || ClassName(window) != kDialogClass ||
      search->seen->count(window) != 0) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND FindNewBox(DWORD processId, const std::set<HWND>& seen) {
  BoxSearch search{processId, &seen, nullptr};
  EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> Children(HWND window) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

// The pixels of a width x height 32-bit picture in a memory DC, top row first.
class Picture {
 public:
  Picture(int width, int height) : size_(static_cast<size_t>(width) * static_cast<size_t>(height)) {
    BITMAPINFO info;
    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    if (dc_ != nullptr && bitmap_ != nullptr) previous_ = SelectObject(dc_, bitmap_);
  }
  ~Picture() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  bool Valid() const { return previous_ != nullptr; }
  HDC Dc() const { return dc_; }
  void Fill(DWORD color) { std::fill(bits_, bits_ + size_, color); }
  // The colours alone: the unused top byte differs between screen and memory.
  std::vector<DWORD> Colors() const {
    GdiFlush();
    std::vector<DWORD> colors(bits_, bits_ + size_);
    for (DWORD& color : colors) color &= 0xFFFFFF;
    return colors;
  }

 private:
  size_t size_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  DWORD* bits_ = nullptr;
};

// Icon handles are private to each process, so the icon is told by what the screen
// shows: the box's icon control against each system icon drawn on its background.
BoxIcon RecogniseIcon(const RECT& onScreen) {
  const int width = onScreen.right - onScreen.left;
  const int height = onScreen.bottom - onScreen.top;
  if (width <= 0 || height <= 0) return BoxIcon::kUnrecognised;
  Picture shown(width, height);
  if (!shown.Valid()) return BoxIcon::kUnrecognised;
  HDC screen = GetDC(nullptr);
  BitBlt(shown.Dc(), 0, 0, width, height, screen, onScreen.left, onScreen.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  const std::vector<DWORD> seen = shown.Colors();

  const std::pair<BoxIcon, LPCWSTR> candidates[] = {{BoxIcon::kStop, IDI_HAND},
                                                    {BoxIcon::kExclamation, IDI_EXCLAMATION},
                                                    {BoxIcon::kInformation, IDI_ASTERISK},
                                                    {BoxIcon::kQuestion, IDI_QUESTION}};
  for (const auto& [kind, id] : candidates) {
    Picture drawn(width, height);
    if (!drawn.Valid()) continue;
    drawn.Fill(seen.front());  // the icons' corners are transparent
    DrawIconEx(drawn.Dc(), 0, 0, LoadIconW(nullptr, id), width, height, 0, nullptr, DI_NORMAL);
    if (drawn.Colors() == seen) return kind;
  }
  return BoxIcon::kUnrecognised;
}

BoxIcon ReadIcon(HWND box) {
  for (HWND child : Children(box)) {
    if (ClassName(child) != L"Static" || (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &icon);
    if (icon == 0 || !IsWindowVisible(child)) return BoxIcon::kNone;
    // Bring the box to the front (without waiting on its thread) and look until it has been painted.
    const DWORD start = GetTickCount();
    BoxIcon kind = BoxIcon::kUnrecognised;
    do {
      SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
      Sleep(kPollMs);
      RECT onScreen;
      if (GetWindowRect(child, &onScreen)) kind = RecogniseIcon(onScreen);
    } while (kind == BoxIcon::kUnrecognised && GetTickCount() - start < kIconPaintLimitMs);
    return kind;
  }
  return BoxIcon::kNone;
}

ObservedBox ReadBox(HWND box) {
  ObservedBox observed;
  observed.caption = WindowText(box);
  if (HWND text = GetDlgItem(box, kBoxTextControlId)) observed.text = WindowText(text);
  std::vector<std::pair<LONG, std::wstring>> buttons;
  for (HWND child : Children(box)) {
    RECT place;
    if (ClassName(child) == L"Button" && IsWindowVisible(child) && GetWindowRect(child, &place)) {
      buttons.emplace_back(place.left, WindowText(child));
    }
  }
  std::sort(buttons.begin(), buttons.end());
  for (auto& button : buttons) observed.buttons.push_back(std::move(button.second));
  observed.icon = ReadIcon(box);
  return observed;
}

// What a click on OK sends the box; a box without OK gets its first button.
void PressOk(HWND box) {
  HWND button = GetDlgItem(box, IDOK);
  if (button == nullptr) {
    for (HWND child : Children(box)) {
      if (ClassName(child) == L"Button") {
        button = child;
        break;
      }
    }
  }
  const int id = button != nullptr ? GetDlgCtrlID(button) : IDOK;
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void WaitUntilClosed(HWND box, HANDLE process) {
  const DWORD start = GetTickCount();
  while (IsWindow(box) && IsWindowVisible(box) && GetTickCount() - start < kBoxCloseLimitMs) {
    if (WaitForSingleObject(process, kPollMs) == WAIT_OBJECT_0) return;
  }
}

// A file the child may write to as one of its standard streams.
HANDLE InheritableFile(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Held from making a child's stream files inheritable until they are closed again,
// so that a program started at the same time from another thread cannot inherit
// them and keep them open.
class StartLock {
 public:
  StartLock() { EnterCriticalSection(&Section()); }
  ~StartLock() { LeaveCriticalSection(&Section()); }
  StartLock(const StartLock&) = delete;
  StartLock& operator=(const StartLock&) = delete;

 private:
  static CRITICAL_SECTION& Section() {
    static struct Initialized {
      Initialized() { InitializeCriticalSection(&section); }
      CRITICAL_SECTION section;
    } lock;
    return lock.section;
  }
};

// Starts the program with its standard output and error going to files in streams.
bool Start(const std::filesystem::path& program, std::wstring commandLine, std::wstring environmentBlock,
           const ScratchFolder& streams, PROCESS_INFORMATION& process) {
  const StartLock lock;
  HANDLE out = InheritableFile(streams.Path() / "out");
  HANDLE err = InheritableFile(streams.Path() / "err");
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  ZeroMemory(&process, sizeof process);
  const BOOL created = CreateProcessW(program.wstring().c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                      CREATE_UNICODE_ENVIRONMENT, &environmentBlock[0], nullptr, &startup, &process);
  CloseHandle(out);
  CloseHandle(err);
  return created != FALSE;
}

}  // namespace

ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                         const std::map<std::string, std::wstring>& environment) {
  ProgramResult result;
  std::wstring commandLine = platform::QuoteArgument(program.wstring());
  for (const auto& argument : arguments) commandLine += L" " + platform::QuoteArgument(argument);
  ScratchFolder streams;
  PROCESS_INFORMATION process;
  if (!Start(program, commandLine, EnvironmentBlock(environment), streams, process)) return result;
  result.started = true;

  // Watch for the program's boxes while it runs: one at a time, since a box blocks
  // the thread that shows it.
  const DWORD start = GetTickCount();
  std::set<HWND> seen;
  while (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_TIMEOUT) {
    if (GetTickCount() - start > kRunLimitMs || result.boxes.size() >= kMaxBoxes) {
      TerminateProcess(process.hProcess, kTimedOutExitCode);
      WaitForSingleObject(process.hProcess, kBoxCloseLimitMs);
      result.timedOut = true;
      break;
    }
    HWND box = FindNewBox(process.dwProcessId, seen);
    if (box == nullptr) continue;
    seen.insert(box);
    result.boxes.push_back(ReadBox(box));
    PressOk(box);
    WaitUntilClosed(box, process.hProcess);
  }

  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  result.exitCode = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  result.standardOutput = ReadFileBytes(streams.Path() / "out");
  result.standardError = ReadFileBytes(streams.Path() / "err");
  return result;
}

ProgramResult RunTool(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  std::vector<std::wstring> wide;
  for (const std::string& utf8 : arguments) {
    const int size = static_cast<int>(utf8.size());
    std::wstring argument(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
    if (!argument.empty()) {
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &argument[0], static_cast<int>(argument.size()));
    }
    wide.push_back(argument);
  }
  return RunProgram(program, wide);
}

}  // namespace testsupport
