#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "platform/asio.hpp"
#include "platform/system_clock.hpp"
#include "unit_sim/capturing_logger.hpp"
#include "unit_sim/load_report.hpp"
#include "unit_sim/rate_pacer.hpp"
#include "unit_sim/sim_units.hpp"
#include "unit_sim/unit_options.hpp"

namespace talvero {

// Many simulated units against one receiver, on one loop.
//
//   connect (a bounded number at a time) --> send phase --> drain --> done
//   send phase: a unit with no frame out (no answer awaited, no write pending)
//   is ready; --max sends again at once, --rate hands ready units to the pacer
//   in turn. The sweep timer ends connections and answers past their
//   time-out. The duration timer (or a signal) ends the send phase; the drain
//   waits for the frames still out, at most one time-out.
class LoadRun final : public UnitEvents {
 public:
  LoadRun(boost::asio::io_context& io, const UnitOptions& options);

  void Start();
  LoadSummary Summary();

 private:
  enum class Phase { Connecting, Sending, Draining, Done };
  using SteadyClock = std::chrono::steady_clock;

  void OnConnected(SimUnit& unit) override;
  void OnConnectFailed(SimUnit& unit) override;
  void OnFrame(SimUnit& unit, std::string_view bytes) override;
  void OnWritten(SimUnit& unit) override;
  void OnSendFailed(SimUnit& unit) override;
  void OnClosed(SimUnit& unit) override;

  void ConnectNext();
  void ConnectDone();
  void BeginSending();
  void SendFrom(SimUnit& unit);
  void BecomeReady(SimUnit& unit);
  void TrySend();
  void StopAwaiting(SimUnit& unit);
  void Kill(SimUnit& unit);
  void Sweep();
  void EndSending();
  void DrainIfDone();
  void Finish();

  const UnitOptions& options_;
  boost::asio::ip::address_v4 address_;
  std::vector<std::unique_ptr<SimUnit>> units_;
  Phase phase_ = Phase::Connecting;
  size_t nextToConnect_ = 0;
  size_t connectsInFlight_ = 0;
  size_t connected_ = 0;
  size_t awaitingCount_ = 0;
  std::deque<SimUnit*> ready_;
  std::optional<RatePacer> pacer_;
  bool pacerArmed_ = false;
  boost::asio::steady_timer pacerTimer_;
  boost::asio::steady_timer sweepTimer_;
  boost::asio::steady_timer durationTimer_;
  boost::asio::signal_set signals_;
  SystemClock clock_;
  CapturingLogger log_;
  UnitFrameFields fields_;
  LoadCounters counters_;
  std::vector<uint32_t> latencies_;
  SteadyClock::duration timeout_;
  SteadyClock::time_point connectStart_{};
  SteadyClock::time_point sendStart_{};
  SteadyClock::time_point sendEnd_{};
  size_t heldAtEnd_ = 0;
};

}  // namespace talvero
