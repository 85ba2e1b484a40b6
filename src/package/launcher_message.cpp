// The launcher's own stop box.
#include "package/launcher_message.h"

#include "platform/platform.h"

namespace package {

void ShowLauncherMessage(const std::wstring& text) {
  platform::MessageBoxRequest request;
  request.text = text;
  request.style = platform::kMbOk | platform::kMbIconHand | platform::kMbServiceNotification;
  platform::ShowMessageBox(request);
}

}  // namespace package
