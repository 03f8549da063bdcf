#include "log/watch_dog.hpp"

namespace talvero {
namespace {

std::string Folded(std::string_view key) {
  std::string folded(key);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return folded;
}

}  // namespace

TWatchDog::TWatchDog(TimerFactory& timers, std::chrono::milliseconds interval)
    : timers_(timers), interval_(interval) {}

void TWatchDog::Kick(std::string_view key) {
  std::string folded = Folded(key);
  const auto found = entries_.find(folded);
  if (found != entries_.end()) {
    found->second.timer->Start(interval_);
    return;
  }
  auto timer = timers_.MakeTimer(TimerKind::OneShot, [this, folded] { Expired(folded); });
  timer->Start(interval_);
  entries_.emplace(std::move(folded), Entry{std::string(key), std::move(timer)});
}

void TWatchDog::Expired(const std::string& foldedKey) {
  const auto found = entries_.find(foldedKey);
  if (found == entries_.end()) {
    return;
  }
  // foldedKey lives in the timer's handler, which goes with the entry.
  const std::string key = std::move(found->second.key);
  entries_.erase(found);
  if (OnTimeout) {
    OnTimeout(key);
  }
}

}  // namespace talvero
