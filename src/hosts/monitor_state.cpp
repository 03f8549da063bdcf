#include "hosts/monitor_state.hpp"

#include <utility>

namespace talvero {

std::optional<ViewChannel> ViewOfChannel(std::string_view channel) {
  if (channel == "All msg") {
    return ViewChannel::AllMsg;
  }
  if (channel == "Imp_msg") {
    return ViewChannel::ImpMsg;
  }
  if (channel == "Errors") {
    return ViewChannel::Errors;
  }
  return std::nullopt;
}

MonitorState::MonitorState(std::function<void(std::function<void()>)> post)
    : post_(std::move(post)) {}

void MonitorState::PlaySnd(int index) {
  if (listener_ != nullptr) {
    listener_->OnSound(index);
  }
}

void MonitorState::CountUp(Counter counter) {
  const int64_t value = ++counts_[static_cast<size_t>(counter)];
  if (listener_ != nullptr) {
    listener_->OnCounter(counter, value);
  }
}

void MonitorState::ChannelLine(std::string_view channel, std::string_view line, bool blankBefore) {
  const std::optional<ViewChannel> view = ViewOfChannel(channel);
  if (!view) {
    return;
  }
  post_([this, view = *view, text = std::string(line), blankBefore]() mutable {
    AddLine(view, std::move(text), blankBefore);
  });
}

void MonitorState::AddLine(ViewChannel channel, std::string line, bool blankBefore) {
  LogView& view = views_[static_cast<size_t>(channel)];
  view.Append(line, blankBefore);
  if (listener_ != nullptr) {
    listener_->OnLine(channel, view.EndIndex(), line, blankBefore);
  }
}

void MonitorState::IndicatorBlink(std::string_view channel) {
  const std::optional<ViewChannel> view = ViewOfChannel(channel);
  if (!view || *view == ViewChannel::AllMsg) {
    return;
  }
  bool& blinking = blinking_[static_cast<size_t>(*view)];
  if (!blinking) {
    blinking = true;
    if (listener_ != nullptr) {
      listener_->OnIndicator(*view, true);
    }
  }
}

void MonitorState::ShowTab(ViewChannel channel) {
  bool& blinking = blinking_[static_cast<size_t>(channel)];
  if (blinking) {
    blinking = false;
    if (listener_ != nullptr) {
      listener_->OnIndicator(channel, false);
    }
  }
}

void MonitorState::UnitChanged(uint16_t unit) {
  if (listener_ != nullptr) {
    listener_->OnUnitChanged(unit);
  }
}

bool MonitorState::AutoClearAllMsg() {
  return views_[static_cast<size_t>(ViewChannel::AllMsg)].AutoClear();
}

}  // namespace talvero
