// The POSIX program's entry point: the arguments go to the platform layer, which
// hands them out as the Windows runtime would, then the framework runs the
// application object.
#include "framework/afxwin.h"
#include "platform/posix/arguments_posix.h"

int main(int argc, char** argv) {
  platform::SetProcessArguments(argc, argv);
  return AfxWinMain();
}
