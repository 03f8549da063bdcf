#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/asio.hpp"

namespace talvero {

class SimUnit;

// What the simulated units report to the load run, all on the loop's thread.
class UnitEvents {
 public:
  virtual ~UnitEvents() = default;
  virtual void OnConnected(SimUnit& unit) = 0;
  virtual void OnConnectFailed(SimUnit& unit) = 0;
  virtual void OnFrame(SimUnit& unit, std::string_view bytes) = 0;
  // The frame is written; the unit may send its next.
  virtual void OnWritten(SimUnit& unit) = 0;
  // A write failed; on TCP the connection is broken with it.
  virtual void OnSendFailed(SimUnit& unit) = 0;
  // The receiver closed the connection, or it failed.
  virtual void OnClosed(SimUnit& unit) = 0;
};

// One simulated field unit with its own socket. The load run keeps the state
// of its frame; the unit only moves bytes, one frame at a time. A closed unit
// reports nothing more.
class SimUnit {
 public:
  enum class State { Waiting, Connecting, Ready, Dead };
  using TimePoint = std::chrono::steady_clock::time_point;

  SimUnit(UnitEvents& events, uint16_t unitNr);
  virtual ~SimUnit() = default;

  virtual void Connect(const boost::asio::ip::address_v4& address, uint16_t port) = 0;
  // Starts writing the frame. Throws std::logic_error while the last one is
  // still being written: a socket takes one write at a time.
  virtual void Send(std::string frame) = 0;
  virtual void Close() = 0;

  // Until OnWritten or OnSendFailed of the last frame.
  bool WritePending() const { return writePending_; }
  // The FrameID of the frame out while awaiting.
  uint16_t AwaitedFrameID() const { return static_cast<uint16_t>(nextFrameID - 1); }

  const uint16_t unitNr;
  const std::string unitText;  // unitNr as four hexadecimal digits
  State state = State::Waiting;
  uint16_t nextFrameID = 0;
  bool awaiting = false;  // a frame is out, its answer not yet in
  TimePoint sentAt{};
  TimePoint deadline{};   // of the connection or of the answer
  bool answered = false;  // got at least one answer
  bool queued = false;    // in the run's queue of units ready to send

 protected:
  // Marks the write begun; throws std::logic_error while one is pending.
  void BeginWrite();
  // Ends the pending write and reports how it went.
  void EndWrite(const boost::system::error_code& ec);

  UnitEvents& events_;
  bool closed_ = false;

 private:
  bool writePending_ = false;
};

// A unit on a persistent TCP connection; answers are cut from the stream by
// the length of their type.
class TcpSimUnit final : public SimUnit {
 public:
  TcpSimUnit(boost::asio::io_context& io, UnitEvents& events, uint16_t unitNr);
  void Connect(const boost::asio::ip::address_v4& address, uint16_t port) override;
  void Send(std::string frame) override;
  void Close() override;

 private:
  void Read();

  boost::asio::ip::tcp::socket socket_;
  std::string out_;
  std::string stream_;
  std::array<char, 512> in_{};
};

// A unit with a UDP socket of its own, so the receiver's answer to it comes
// back to it alone.
class UdpSimUnit final : public SimUnit {
 public:
  UdpSimUnit(boost::asio::io_context& io, UnitEvents& events, uint16_t unitNr);
  void Connect(const boost::asio::ip::address_v4& address, uint16_t port) override;
  void Send(std::string frame) override;
  void Close() override;

 private:
  void Receive();

  boost::asio::io_context& io_;
  boost::asio::ip::udp::socket socket_;
  std::string out_;
  std::array<char, 2048> in_{};
};

}  // namespace talvero
