// Shows the message boxes its arguments describe, one after another, so that tests
// can check the box observer against boxes whose look is known. Arguments come in
// threes: the style (hexadecimal), the caption ("-" for none) and the text. The exit
// code counts the boxes that were answered with OK.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int answeredOk = 0;
  for (int i = 1; i + 2 < __argc; i += 3) {
    const UINT style = static_cast<UINT>(wcstoul(__wargv[i], nullptr, 16));
    const wchar_t* caption = wcscmp(__wargv[i + 1], L"-") == 0 ? nullptr : __wargv[i + 1];
    if (MessageBoxW(nullptr, __wargv[i + 2], caption, style) == IDOK) ++answeredOk;
  }
  return answeredOk;
}
