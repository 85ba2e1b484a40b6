// The one seam every message box passes through.
#include "platform/platform.h"

namespace platform {
namespace {
MessageBoxHandler g_handler = nullptr;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  MessageBoxHandler previous = g_handler;
  g_handler = handler;
  return previous;
}

int ShowMessageBox(const MessageBoxRequest& request) {
  return g_handler != nullptr ? g_handler(request) : SystemMessageBox(request);
}

}  // namespace platform
