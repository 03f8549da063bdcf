#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "log/host_observer.hpp"

namespace talvero::testing {

// Records sounds, channel lines and indicator blinks in order. Safe to call from
// the background writer's thread.
class RecordingObserver : public HostObserver {
 public:
  void PlaySnd(int index) override { Record("snd" + std::to_string(index)); }
  void ChannelLine(std::string_view channel, std::string_view line, bool blankBefore) override {
    if (blankBefore) {
      Record(std::string(channel) + "|");
    }
    Record(std::string(channel) + "|" + std::string(line));
  }
  void IndicatorBlink(std::string_view channel) override {
    Record("blink " + std::string(channel));
  }

  std::vector<std::string> Events() const {
    std::lock_guard guard(lock_);
    return events_;
  }
  // The view lines of one channel (empty lines included), without the channel name.
  std::vector<std::string> Lines(std::string_view channel) const {
    std::lock_guard guard(lock_);
    return LinesLocked(channel);
  }
  // Waits (with a generous guard against hanging) until the channel's view
  // holds count lines.
  bool WaitForLines(std::string_view channel, size_t count) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(20),
                             [&] { return LinesLocked(channel).size() >= count; });
  }

 private:
  std::vector<std::string> LinesLocked(std::string_view channel) const {
    std::vector<std::string> lines;
    const std::string prefix = std::string(channel) + "|";
    for (const auto& e : events_) {
      if (e.starts_with(prefix)) {
        lines.push_back(e.substr(prefix.size()));
      }
    }
    return lines;
  }

  void Record(std::string event) {
    {
      std::lock_guard guard(lock_);
      events_.push_back(std::move(event));
    }
    changed_.notify_all();
  }

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
};

}  // namespace talvero::testing
