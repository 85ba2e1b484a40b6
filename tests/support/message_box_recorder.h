#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace testsupport {

// Records every message box instead of showing it, for as long as it lives.
class MessageBoxRecorder {
 public:
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  const std::vector<platform::MessageBoxRequest>& Boxes() const { return boxes_; }
  // The texts alone, in the order the boxes appeared.
  std::vector<std::wstring> Texts() const;

 private:
  static int Record(const platform::MessageBoxRequest& request);
  std::vector<platform::MessageBoxRequest> boxes_;
  platform::MessageBoxHandler previous_;
};

// A fatal-error box's text up to its system part, which depends on the system.
inline std::wstring FatalBox(const std::wstring& message) { return L"Fatal error:\n\n" + message + L" "; }
inline std::wstring WithoutSystemText(const std::wstring& text, const std::wstring& message) {
  return text.substr(0, FatalBox(message).size());
}

inline constexpr unsigned kStopBoxStyle =
    platform::kMbOk | platform::kMbIconHand | platform::kMbServiceNotification;

}  // namespace testsupport
