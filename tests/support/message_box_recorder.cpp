#include "support/message_box_recorder.h"

namespace testsupport {
namespace {
MessageBoxRecorder* g_active = nullptr;
}

MessageBoxRecorder::MessageBoxRecorder() : previous_(platform::SetMessageBoxHandler(&Record)) { g_active = this; }

MessageBoxRecorder::~MessageBoxRecorder() {
  platform::SetMessageBoxHandler(previous_);
  g_active = nullptr;
}

std::vector<std::wstring> MessageBoxRecorder::Texts() const {
  std::vector<std::wstring> texts;
  for (const auto& box : boxes_) texts.push_back(box.text);
  return texts;
}

int MessageBoxRecorder::Record(const platform::MessageBoxRequest& request) {
  if (g_active != nullptr) g_active->boxes_.push_back(request);
  return 1;  // IDOK
}

}  // namespace testsupport
