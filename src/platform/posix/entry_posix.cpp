#include "framework/afxwin.h"
#include "platform/posix/arguments_posix.h"

int main(int argc, char** argv) {
  platform::SetProcessArguments(argc, argv);
  return AfxWinMain();
}
