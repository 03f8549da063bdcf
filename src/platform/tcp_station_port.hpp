#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "base/logger.hpp"
#include "station/serial_port.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

// The station output over TCP, to monitoring software that takes receiver
// input on a TCP port: the bytes of the serial line both ways, as a client.
//
//   Open --> resolve --> connect (kConnectTimeout) --ok--> open handler, Read
//                           `--fails--> loss handler (the link tries again)
//   Write --> queue (kMaxQueuedBytes) --> one write in flight (kWriteTimeout)
//   read --> ChunkAssembler (as the serial port's) --> chunk handler
//   EOF, a failure, a full queue or a stalled write --> closed, loss handler
//
// The name given to Open (the SerialPort setting) is not used. All members
// run on the event thread; the logger must outlive this object.
class TcpStationPort final : public SerialPort {
 public:
  static constexpr std::chrono::seconds kConnectTimeout{5};
  // A peer that has not taken a write by then has stopped reading.
  static constexpr std::chrono::seconds kWriteTimeout{15};
  static constexpr size_t kMaxQueuedBytes = 64 * 1024;

  TcpStationPort(boost::asio::io_context& io, Logger& log, std::string host, uint16_t port);
  ~TcpStationPort() override;
  TcpStationPort(const TcpStationPort&) = delete;
  TcpStationPort& operator=(const TcpStationPort&) = delete;

  // True while connected; otherwise starts a try unless one is under way.
  bool Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override;
  std::string Name() const override;
  void Write(std::string_view bytes) override;
  void SetChunkHandler(ChunkHandler handler) override { onChunk_ = std::move(handler); }
  void SetLossHandler(LossHandler handler) override { onLoss_ = std::move(handler); }
  void SetOpenHandler(OpenHandler handler) override { onOpen_ = std::move(handler); }
  LogNames NamesFor(const std::string& name) const override;
  bool OpensLater() const override { return true; }

  // "tcp:HOST:PORT"
  const std::string& Address() const { return address_; }

 private:
  class Session;

  void DeliverChunk(std::string_view chunk);
  void Connected();
  void Lost();

  boost::asio::io_context& io_;
  Logger& log_;
  const std::string host_;
  const uint16_t port_;
  const std::string address_;
  ChunkHandler onChunk_;
  LossHandler onLoss_;
  OpenHandler onOpen_;
  std::shared_ptr<Session> session_;  // the connection being tried, open, or last lost
};

}  // namespace talvero
