#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.hpp"
#include "base/timer.hpp"
#include "hosts/monitor_state.hpp"
#include "hosts/receiver_engine.hpp"

namespace talvero {

using PageId = uint64_t;

// Where the monitor's messages to its pages go (the web server's sessions).
class PageOutlet {
 public:
  virtual ~PageOutlet() = default;
  virtual void Send(PageId page, const nlohmann::json& message) = 0;
  virtual void Broadcast(const nlohmann::json& message) = 0;
};

// The monitor window as seen by its pages: every page that is open shows the
// same engine, each with its own grid filter and dialogs. Pages and monitor
// speak JSON objects named by their "type"; a request's "id" comes back with
// its answer. Everything runs on the event thread; a request that cannot be
// taken gets {"type": "error"} back.
class MonitorHub final : public MonitorState::Listener {
 public:
  // close runs when the operator has confirmed closing on a page.
  MonitorHub(ReceiverEngine& engine, MonitorState& state, PageOutlet& outlet, TimerFactory& timers,
             const Clock& clock, std::vector<std::string> serialPorts, std::function<void()> close);
  ~MonitorHub() override;

  void Open(PageId page);
  void Message(PageId page, const nlohmann::json& request);
  void Closed(PageId page);

  // Lines, counters and row changes reach the pages together, at most this often.
  static constexpr std::chrono::milliseconds kPushPeriod{100};
  // The most rows one request fetches, and dialogs one page keeps open.
  static constexpr size_t kMaxRowsPerFetch = 500;
  static constexpr size_t kMaxOpenDialogs = 64;
  static constexpr std::chrono::milliseconds kAutoClearPeriod{300000};
  static inline constexpr std::string_view kTitle = "Corvane Talvero (v2.0.00)";

 private:
  struct Page {
    std::vector<uint16_t> rows;
    std::unique_ptr<Timer> filterTimer;
    std::string filter;
    std::map<int64_t, PendingCommand> dialogs;
    int64_t nextDialog = 1;
    bool closeAsked = false;
  };

  void OnSound(int index) override;
  void OnCounter(Counter counter, int64_t value) override;
  void OnLine(ViewChannel channel, size_t endIndex, std::string_view line,
              bool blankBefore) override;
  void OnIndicator(ViewChannel channel, bool blinking) override;
  void OnUnitChanged(uint16_t unit) override;

  void Handle(PageId page, Page& state, const nlohmann::json& request);
  nlohmann::json Hello(const Page& state) const;
  nlohmann::json Rows(const Page& state, const nlohmann::json& request) const;
  void Command(PageId page, Page& state, const nlohmann::json& request);
  void Answer(PageId page, Page& state, const nlohmann::json& request);
  void Reply(PageId page, const nlohmann::json& request, nlohmann::json step, Page& state,
             const CommandStep& command);
  void Filter(PageId page, Page& state, std::string_view typed);
  void SchedulePush();
  void Push();
  void PushGridChanges();
  void BroadcastSettings();
  void Send(PageId page, const nlohmann::json& message);
  void Broadcast(const nlohmann::json& message);

  ReceiverEngine& engine_;
  MonitorState& state_;
  PageOutlet& outlet_;
  TimerFactory& timers_;
  const Clock& clock_;
  std::vector<std::string> serialPorts_;
  std::function<void()> close_;
  std::map<PageId, Page> pages_;
  std::set<uint16_t> changedUnits_;
  // Which slots were in use at the last push: a slot newly in use gets a row on
  // every page, one no longer in use loses it.
  std::vector<bool> rowShown_;
  nlohmann::json pendingLines_ = nlohmann::json::array();
  bool countersChanged_ = false;
  std::unique_ptr<Timer> push_;
  std::unique_ptr<Timer> autoClear_;
};

}  // namespace talvero
