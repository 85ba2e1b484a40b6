#pragma once

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

inline constexpr unsigned kStopBoxStyle =
    platform::kMbOk | platform::kMbIconHand | platform::kMbServiceNotification;

}  // namespace testsupport
