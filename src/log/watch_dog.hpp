#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "base/timer.hpp"

namespace talvero {

// Both hosts wait one second after a unit's frame before sending it the next
// buffered command.
inline constexpr std::chrono::milliseconds kWatchDogInterval{1000};

// One-shot timers keyed by text (a unit's UnitText). A key fires once, one
// interval after its last Kick; keys compare without regard to letter case.
// Runs on the host's event thread.
class TWatchDog {
 public:
  explicit TWatchDog(TimerFactory& timers, std::chrono::milliseconds interval = kWatchDogInterval);
  // Releases all timers; no handler is called.
  ~TWatchDog() = default;
  TWatchDog(const TWatchDog&) = delete;
  TWatchDog& operator=(const TWatchDog&) = delete;

  // Starts the key's timer, or restarts it so the full interval counts again.
  void Kick(std::string_view key);

  // Called with the key as first kicked, after its entry has been removed, so
  // the handler may kick the same key again.
  std::function<void(const std::string& key)> OnTimeout;

 private:
  struct Entry {
    std::string key;
    std::unique_ptr<Timer> timer;
  };

  void Expired(const std::string& foldedKey);

  TimerFactory& timers_;
  std::chrono::milliseconds interval_;
  // By the key in upper case.
  std::map<std::string, Entry> entries_;
};

}  // namespace talvero
