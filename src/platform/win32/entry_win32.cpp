#include <windows.h>

#include "framework/afxwin.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return AfxWinMain(); }
