// Drawing and clearing the progress line.
#include "progress.h"

#include <cstdio>

#include "console.h"

namespace sfxpkg {
namespace {

// Work below this is over before a line would help.
constexpr uint64_t kWorthShowing = 16ull << 20;
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

std::string Size(uint64_t bytes) {
  char text[32];
  if (bytes >= (1ull << 30)) {
    std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1ull << 30));
  } else {
    std::snprintf(text, sizeof text, "%.0f MiB", static_cast<double>(bytes) / (1ull << 20));
  }
  return text;
}

}  // namespace

Progress::Progress(const CommandMessages& messages, uint64_t total, uint64_t shown)
    : command_(messages.Command()),
      total_(total),
      shownTotal_(shown),
      shown_(!messages.Quiet() && shown >= kWorthShowing && StandardErrorIsTerminal()) {}

Progress::~Progress() {
  // The line goes, so that what follows starts at the left margin.
  if (drawn_) WriteStandardError("\r" + std::string(60, ' ') + "\r");
}

void Progress::Add(uint64_t bytes) {
  done_ += bytes;
  if (!shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - lastDrawn_ < kRedrawInterval) return;
  lastDrawn_ = now;
  Draw();
}

void Progress::Draw() {
  const uint64_t percent = total_ == 0 ? 100 : (done_ >= total_ ? 100 : done_ * 100 / total_);
  WriteStandardError("\rsfxpkg " + command_ + ": " + std::to_string(percent) + "% of " + Size(shownTotal_) + "  ");
  drawn_ = true;
}

}  // namespace sfxpkg
