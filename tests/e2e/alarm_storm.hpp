#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/asio.hpp"
#include "unit_sim/sim_units.hpp"

namespace talvero::e2e {

// Units 1..N on TCP connections, on a thread of their own. Each sends alarm
// events of its own account (its unit number as four hexadecimal digits) in
// zones 1, 2, 3 ... and sends the next one as soon as the last is acknowledged;
// a Nack sends the same event again. So what a unit had acknowledged is
// always zones 1 to its count, in order.
class AlarmStorm final : public UnitEvents {
 public:
  AlarmStorm(uint16_t port, size_t units, int eventsPerUnit);
  ~AlarmStorm() override;
  AlarmStorm(const AlarmStorm&) = delete;
  AlarmStorm& operator=(const AlarmStorm&) = delete;

  // Connects every unit, then starts sending; false when not all are
  // connected in time.
  bool Start(std::chrono::milliseconds timeout);
  size_t Acknowledged() const { return acknowledged_.load(); }
  // Ends the loop; what each unit had acknowledged stays.
  void Stop();
  // After Stop: the receiver lines of every event acknowledged, and how many
  // events one unit had acknowledged.
  std::vector<std::string> AcknowledgedLines() const;
  int AcknowledgedBy(uint16_t unit) const { return acked_.at(unit - 1u); }

  static std::string Account(uint16_t unit);
  // The receiver line of a unit's event in that zone (without its DC4).
  static std::string Line(uint16_t unit, int zone);

 private:
  void OnConnected(SimUnit& unit) override;
  void OnConnectFailed(SimUnit& unit) override;
  void OnFrame(SimUnit& unit, std::string_view bytes) override;
  void OnWritten(SimUnit& unit) override;
  void OnSendFailed(SimUnit&) override {}
  void OnClosed(SimUnit&) override {}
  void SendNext(SimUnit& unit);

  boost::asio::io_context io_;
  std::vector<std::unique_ptr<SimUnit>> units_;
  std::vector<int> acked_;             // per unit index
  std::vector<bool> sendWhenWritten_;  // the answer came before the write's end
  const int eventsPerUnit_;
  uint16_t port_;
  std::atomic<size_t> connected_ = 0;
  std::atomic<size_t> failed_ = 0;
  std::atomic<size_t> acknowledged_ = 0;
  std::thread thread_;
};

}  // namespace talvero::e2e
