#include "hosts/monitor_hub.hpp"

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>

#include "engine/date_time_text.hpp"
#include "hosts/close_question.hpp"
#include "hosts/grid_menu.hpp"
#include "hosts/grid_rows.hpp"
#include "hosts/help_files.hpp"
#include "hosts/monitor_json.hpp"

namespace talvero {
namespace {

using nlohmann::json;

// What a page opening is given of each log view: its newest lines.
constexpr size_t kHelloLines = 2000;

std::string_view ChannelName(ViewChannel channel) {
  switch (channel) {
    case ViewChannel::AllMsg:
      return "all";
    case ViewChannel::ImpMsg:
      return "imp";
    case ViewChannel::Errors:
      return "errors";
  }
  return "all";
}

json ViewJson(const LogView& view, size_t most) {
  const auto& lines = view.Lines();
  const size_t skip = lines.size() > most ? lines.size() - most : 0;
  return {{"end", view.EndIndex()},
          {"lines", json(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(skip),
                                                  lines.end()))}};
}

json CountersJson(const MonitorState& state) {
  return {{"receiveMsg", state.Count(Counter::ReceiveMsg)},
          {"sendCmd", state.Count(Counter::SendCmd)},
          {"sendToMs", state.Count(Counter::SendToMs)}};
}

// The value of a key when it has that type; nothing otherwise.
template <class T>
std::optional<T> Field(const json& request, std::string_view key) {
  const auto it = request.find(key);
  if (it == request.end()) {
    return std::nullopt;
  }
  if constexpr (std::is_same_v<T, bool>) {
    return it->is_boolean() ? std::optional<T>(it->get<bool>()) : std::nullopt;
  } else if constexpr (std::is_same_v<T, std::string>) {
    return it->is_string() ? std::optional<T>(it->get<std::string>()) : std::nullopt;
  } else {
    return it->is_number_integer() ? std::optional<T>(it->get<T>()) : std::nullopt;
  }
}

}  // namespace

MonitorHub::MonitorHub(ReceiverEngine& engine, MonitorState& state, PageOutlet& outlet,
                       TimerFactory& timers, const Clock& clock,
                       std::vector<std::string> serialPorts, std::function<void()> close)
    : engine_(engine),
      state_(state),
      outlet_(outlet),
      timers_(timers),
      clock_(clock),
      serialPorts_(std::move(serialPorts)),
      close_(std::move(close)),
      rowShown_(kUnitCount) {
  for (size_t unit = 0; unit < kUnitCount; ++unit) {
    rowShown_[unit] = engine_.Tables().UnitTable[unit].Active != 0;
  }
  push_ = timers_.MakeTimer(TimerKind::OneShot, [this] { Push(); });
  autoClear_ = timers_.MakeTimer(TimerKind::Periodic, [this] {
    if (state_.AutoClearAllMsg()) {
      Broadcast({{"type", "viewCleared"},
                 {"channel", "all"},
                 {"view", ViewJson(state_.View(ViewChannel::AllMsg), kHelloLines)}});
    }
  });
  autoClear_->Start(kAutoClearPeriod);
  state_.SetListener(this);
}

MonitorHub::~MonitorHub() {
  state_.SetListener(nullptr);
}

void MonitorHub::Open(PageId page) {
  Page& state = pages_[page];
  state.rows = FilteredUnits(engine_.Tables(), "");
  state.filterTimer = timers_.MakeTimer(TimerKind::OneShot, [this, page] {
    const auto it = pages_.find(page);
    if (it != pages_.end()) {
      it->second.rows = FilteredUnits(engine_.Tables(), it->second.filter);
      Send(page, {{"type", "grid"}, {"count", it->second.rows.size()}, {"reset", true}});
    }
  });
  Send(page, Hello(state));
}

void MonitorHub::Closed(PageId page) {
  pages_.erase(page);
}

void MonitorHub::Message(PageId page, const json& request) {
  const auto it = pages_.find(page);
  if (it == pages_.end()) {
    return;
  }
  if (!request.is_object() || !request.contains("type") || !request["type"].is_string()) {
    Send(page, {{"type", "error"}, {"error", "not a request"}});
    return;
  }
  try {
    Handle(page, it->second, request);
  } catch (const std::exception& e) {
    Send(page, WithReq({{"type", "error"}, {"error", e.what()}}, request));
  }
}

void MonitorHub::Handle(PageId page, Page& state, const json& request) {
  const std::string op = request["type"].get<std::string>();
  if (op == "rows") {
    Send(page, WithReq(Rows(state, request), request));
  } else if (op == "filter") {
    Filter(page, state, Field<std::string>(request, "text").value_or(""));
  } else if (op == "command") {
    Command(page, state, request);
  } else if (op == "answer") {
    Answer(page, state, request);
  } else if (op == "cmdList") {
    const int64_t unit = Field<int64_t>(request, "unit").value_or(-1);
    Send(page, WithReq({{"type", "cmdList"},
                        {"unit", unit},
                        {"names", engine_.Commands().CmdBufferNames(unit)}},
                       request));
  } else if (op == "clearCmd") {
    engine_.Commands().ClearCmdBuffer(Field<int64_t>(request, "unit").value_or(-1));
  } else if (op == "commTr") {
    const int64_t unit = Field<int64_t>(request, "unit").value_or(-1);
    const int64_t level = Field<int64_t>(request, "level").value_or(0);
    const int64_t value = Field<int64_t>(request, "value").value_or(-1);
    if (unit >= 0 && unit < static_cast<int64_t>(kUnitCount) && value >= 0 && value <= 0xFFFF) {
      engine_.EditCommTrLimit(static_cast<uint16_t>(unit), static_cast<int>(level),
                              static_cast<int32_t>(value));
      OnUnitChanged(static_cast<uint16_t>(unit));
    }
  } else if (op == "setting") {
    const int64_t row = Field<int64_t>(request, "row").value_or(-1);
    const std::optional<std::string> value = Field<std::string>(request, "value");
    if (row >= 0 && value) {
      engine_.EditSetting(static_cast<size_t>(row), *value);
      BroadcastSettings();
    }
  } else if (op == "playSounds") {
    if (const std::optional<bool> on = Field<bool>(request, "on")) {
      engine_.SetPlaySounds(*on);
      BroadcastSettings();
    }
  } else if (op == "showTab") {
    const std::string tab = Field<std::string>(request, "tab").value_or("");
    if (tab == "imp") {
      state_.ShowTab(ViewChannel::ImpMsg);
    } else if (tab == "errors") {
      state_.ShowTab(ViewChannel::Errors);
    }
  } else if (op == "passwordWindow") {
    try {
      const AdminPasswordFile::ChangeWindow window = engine_.AdminPassword().OpenChangeWindow();
      Send(page, WithReq({{"type", "passwordWindow"},
                          {"preset", window.currentPreset},
                          {"focusNew", window.focusNewPassword}},
                         request));
    } catch (const std::exception& e) {
      Send(page, WithReq({{"type", "passwordWindow"}, {"failed", e.what()}}, request));
    }
  } else if (op == "passwordChange") {
    const PasswordChangeAnswer answer =
        engine_.AdminPassword().Change(Field<std::string>(request, "current").value_or(""),
                                       Field<std::string>(request, "next").value_or(""));
    const std::string_view box = answer.box == PasswordChangeAnswer::Box::Error     ? "error"
                                 : answer.box == PasswordChangeAnswer::Box::Warning ? "warning"
                                                                                    : "information";
    Send(page, WithReq({{"type", "passwordAnswer"},
                        {"box", box},
                        {"text", answer.text},
                        {"close", answer.close}},
                       request));
  } else if (op == "help") {
    if (std::optional<json> reply = HelpAnswer(Field<std::string>(request, "lang").value_or(""))) {
      Send(page, WithReq(std::move(*reply), request));
    }
  } else if (op == "close") {
    state.closeAsked = true;
    Send(page, WithReq({{"type", "question"}, {"box", CloseQuestion(engine_.Queue())}}, request));
  } else if (op == "closeAnswer") {
    const bool yes = Field<bool>(request, "yes").value_or(false) && state.closeAsked;
    state.closeAsked = false;
    if (yes) {
      close_();
    }
  } else {
    Send(page, WithReq({{"type", "error"}, {"error", "unknown request"}}, request));
  }
}

json MonitorHub::Hello(const Page& state) const {
  const ShownSettings& shown = engine_.Shown();
  return {
      {"type", "hello"},
      {"title", kTitle},
      {"appStarted", DateTimeText(engine_.StartTime())},
      {"started", engine_.Started()},
      {"counters", CountersJson(state_)},
      {"indicators",
       {{"imp", state_.Blinking(ViewChannel::ImpMsg)},
        {"errors", state_.Blinking(ViewChannel::Errors)}}},
      {"columns", ColumnsJson()},
      {"menu", ToJson(GridMenu(engine_.Custom()))},
      {"settings", SettingsJson(shown, serialPorts_)},
      {"views",
       {{"all", ViewJson(state_.View(ViewChannel::AllMsg), kHelloLines)},
        {"imp", ViewJson(state_.View(ViewChannel::ImpMsg), kHelloLines)},
        {"errors", ViewJson(state_.View(ViewChannel::Errors), kHelloLines)}}},
      {"grid", {{"count", state.rows.size()}}},
  };
}

json MonitorHub::Rows(const Page& state, const json& request) const {
  const int64_t first = std::max<int64_t>(0, Field<int64_t>(request, "first").value_or(0));
  const int64_t count = std::clamp<int64_t>(Field<int64_t>(request, "count").value_or(0), 0,
                                            static_cast<int64_t>(kMaxRowsPerFetch));
  json rows = json::array();
  const TDateTime now = clock_.Now();
  for (int64_t i = first; i < first + count && i < static_cast<int64_t>(state.rows.size()); ++i) {
    rows.push_back(ToJson(MakeGridRow(engine_.Tables(), state.rows[static_cast<size_t>(i)], now)));
  }
  return {{"type", "rows"}, {"first", first}, {"count", state.rows.size()}, {"rows", rows}};
}

void MonitorHub::Command(PageId page, Page& state, const json& request) {
  const std::optional<MenuAction> action =
      request.contains("action") ? MenuActionOfJson(request["action"]) : std::nullopt;
  if (!action) {
    Send(page, WithReq({{"type", "error"}, {"error", "no such menu item"}}, request));
    return;
  }
  const CommandStep step =
      engine_.Operator().Start(*action, Field<int64_t>(request, "unit").value_or(-1),
                               Field<bool>(request, "ctrl").value_or(false));
  Reply(page, request, {{"type", "step"}}, state, step);
}

void MonitorHub::Answer(PageId page, Page& state, const json& request) {
  const auto it = state.dialogs.find(Field<int64_t>(request, "dialog").value_or(0));
  if (it == state.dialogs.end()) {
    Send(page, WithReq({{"type", "step"}, {"kind", "nothing"}}, request));
    return;
  }
  const PendingCommand pending = std::move(it->second);
  state.dialogs.erase(it);
  const bool ctrl = Field<bool>(request, "ctrl").value_or(false);
  const std::optional<std::string> value = Field<std::string>(request, "value");
  OperatorCommands& op = engine_.Operator();
  CommandStep step;
  switch (pending.stage) {
    case PendingCommand::Stage::Password:
      step = op.AnswerPassword(pending, value, ctrl);
      break;
    case PendingCommand::Stage::UnitNr:
      step = op.AnswerUnitNr(pending, value, ctrl);
      break;
    case PendingCommand::Stage::Confirm:
      step = op.AnswerConfirm(pending, Field<bool>(request, "yes").value_or(false));
      break;
  }
  Reply(page, request, {{"type", "step"}}, state, step);
}

void MonitorHub::Reply(PageId page, const json& request, json message, Page& state,
                       const CommandStep& step) {
  int64_t dialog = 0;
  if (step.pending) {
    if (state.dialogs.size() >= kMaxOpenDialogs) {
      state.dialogs.erase(state.dialogs.begin());
    }
    dialog = state.nextDialog++;
    state.dialogs.emplace(dialog, *step.pending);
  }
  message.update(ToJson(step, dialog, engine_.Shown().playSounds));
  Send(page, WithReq(std::move(message), request));
}

void MonitorHub::Filter(PageId page, Page& state, std::string_view typed) {
  const FilterBox box = FilterBoxOf(typed);
  state.filter = box.text;
  state.filterTimer->Start(box.delay);
  Send(page, {{"type", "filterBox"}, {"colour", box.colour}});
}

void MonitorHub::OnSound(int index) {
  if (engine_.Shown().playSounds) {
    Broadcast({{"type", "sound"}, {"index", index}});
  }
}

void MonitorHub::OnCounter(Counter, int64_t) {
  countersChanged_ = true;
  SchedulePush();
}

void MonitorHub::OnLine(ViewChannel channel, size_t endIndex, std::string_view line,
                        bool blankBefore) {
  pendingLines_.push_back({{"channel", ChannelName(channel)},
                           {"end", endIndex},
                           {"text", line},
                           {"blank", blankBefore}});
  SchedulePush();
}

void MonitorHub::OnIndicator(ViewChannel channel, bool blinking) {
  Broadcast({{"type", "indicator"}, {"channel", ChannelName(channel)}, {"blinking", blinking}});
}

void MonitorHub::OnUnitChanged(uint16_t unit) {
  changedUnits_.insert(unit);
  SchedulePush();
}

void MonitorHub::SchedulePush() {
  if (!push_->Running()) {
    push_->Start(kPushPeriod);
  }
}

void MonitorHub::Push() {
  if (!pendingLines_.empty()) {
    Broadcast({{"type", "lines"}, {"lines", std::exchange(pendingLines_, json::array())}});
  }
  if (countersChanged_) {
    countersChanged_ = false;
    Broadcast({{"type", "counters"}, {"counters", CountersJson(state_)}});
  }
  if (!changedUnits_.empty()) {
    PushGridChanges();
  }
}

void MonitorHub::PushGridChanges() {
  const std::set<uint16_t> changed = std::exchange(changedUnits_, {});
  std::vector<uint16_t> added;
  std::vector<uint16_t> removed;
  for (const uint16_t unit : changed) {
    const bool inUse = engine_.Tables().UnitTable[unit].Active != 0;
    if (inUse && !rowShown_[unit]) {
      added.push_back(unit);
    } else if (!inUse && rowShown_[unit]) {
      removed.push_back(unit);
    }
    rowShown_[unit] = inUse;
  }
  const std::vector<uint16_t> units(changed.begin(), changed.end());
  for (auto& [page, state] : pages_) {
    if (!added.empty() || !removed.empty()) {
      std::vector<uint16_t> rows;
      rows.reserve(state.rows.size() + added.size());
      std::set_union(state.rows.begin(), state.rows.end(), added.begin(), added.end(),
                     std::back_inserter(rows));
      std::vector<uint16_t> kept;
      kept.reserve(rows.size());
      std::set_difference(rows.begin(), rows.end(), removed.begin(), removed.end(),
                          std::back_inserter(kept));
      state.rows = std::move(kept);
    }
    Send(page, {{"type", "grid"}, {"count", state.rows.size()}, {"changed", units}});
  }
}

void MonitorHub::BroadcastSettings() {
  Broadcast({{"type", "settings"}, {"settings", SettingsJson(engine_.Shown(), serialPorts_)}});
}

void MonitorHub::Send(PageId page, const json& message) {
  outlet_.Send(page, message);
}

void MonitorHub::Broadcast(const json& message) {
  outlet_.Broadcast(message);
}

}  // namespace talvero
