#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosts/log_view.hpp"
#include "log/host_observer.hpp"

namespace talvero {

// The log tabs of the monitor, in the order of the tab strip.
enum class ViewChannel { AllMsg, ImpMsg, Errors };
inline constexpr std::array<ViewChannel, 3> kViewChannels{ViewChannel::AllMsg, ViewChannel::ImpMsg,
                                                          ViewChannel::Errors};

// What the monitor shows of the engine: counters, indicators and log views,
// kept on the event thread, and every change handed on to the pages.
class MonitorState final : public HostObserver {
 public:
  // What the pages hear of; every call comes on the event thread.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void OnSound(int index) = 0;
    virtual void OnCounter(Counter counter, int64_t value) = 0;
    // The view's EndIndex after the line (and its empty line in front, when
    // blankBefore) went in.
    virtual void OnLine(ViewChannel channel, size_t endIndex, std::string_view line,
                        bool blankBefore) = 0;
    virtual void OnIndicator(ViewChannel channel, bool blinking) = 0;
    virtual void OnUnitChanged(uint16_t unit) = 0;
  };

  // post runs a task on the event thread: the background writer reports the
  // "All msg" lines from its own thread.
  explicit MonitorState(std::function<void(std::function<void()>)> post);

  void SetListener(Listener* listener) { listener_ = listener; }

  void PlaySnd(int index) override;
  void CountUp(Counter counter) override;
  void ChannelLine(std::string_view channel, std::string_view line, bool blankBefore) override;
  void IndicatorBlink(std::string_view channel) override;
  void UnitChanged(uint16_t unit) override;

  int64_t Count(Counter counter) const { return counts_[static_cast<size_t>(counter)]; }
  const LogView& View(ViewChannel channel) const { return views_[static_cast<size_t>(channel)]; }
  bool Blinking(ViewChannel channel) const { return blinking_[static_cast<size_t>(channel)]; }
  // Showing a tab brings its indicator to rest.
  void ShowTab(ViewChannel channel);
  // The 5-minute tick of the "All Msg" view; true when it was cleared.
  bool AutoClearAllMsg();

 private:
  void AddLine(ViewChannel channel, std::string line, bool blankBefore);

  std::function<void(std::function<void()>)> post_;
  Listener* listener_ = nullptr;
  std::array<int64_t, 3> counts_{};
  std::array<LogView, 3> views_;
  std::array<bool, 3> blinking_{};
};

// "All msg", "Imp_msg", "Errors": the log channel behind a view.
std::optional<ViewChannel> ViewOfChannel(std::string_view channel);

}  // namespace talvero
