#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

#include "recording_observer.hpp"

namespace talvero::testing {

// Holds the writer inside the line of one message until the test releases it,
// so a test knows exactly where the writer is.
class GateObserver : public RecordingObserver {
 public:
  explicit GateObserver(std::string message) : message_(std::move(message)) {}

  void ChannelLine(std::string_view channel, std::string_view line, bool blankBefore) override {
    RecordingObserver::ChannelLine(channel, line, blankBefore);
    if (channel != "All msg" || !line.ends_with(" - " + message_)) {
      return;
    }
    std::unique_lock guard(lock_);
    if (passed_) {
      return;
    }
    entered_ = true;
    changed_.notify_all();
    changed_.wait(guard, [&] { return released_; });
    passed_ = true;
  }

  bool WaitEntered() {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(20), [&] { return entered_; });
  }
  void Release() {
    std::lock_guard guard(lock_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::string message_;
  std::mutex lock_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool released_ = false;
  bool passed_ = false;
};

}  // namespace talvero::testing
