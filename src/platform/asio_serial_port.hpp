#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "base/logger.hpp"
#include "station/serial_port.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

// The serial port to the monitoring software on the host's event loop: 9600 8N1
// raw, no flow control, DTR and RTS raised where the device allows it. Names
// map to devices under devDir (SerialDevicePath). Writes queue behind the one in
// flight and are never dropped. A device that goes away (unplugged, hung up, a
// failed read or write) closes the port and is told to the loss handler; the
// station link keeps its own lines and sends them again once the port is open.
//
// All members run on the event thread; the logger must outlive this object.
class AsioSerialPort final : public SerialPort {
 public:
  AsioSerialPort(boost::asio::io_context& io, Logger& log, std::filesystem::path devDir);
  ~AsioSerialPort() override;
  AsioSerialPort(const AsioSerialPort&) = delete;
  AsioSerialPort& operator=(const AsioSerialPort&) = delete;

  bool Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override;
  std::string Name() const override;
  void Write(std::string_view bytes) override;
  void SetChunkHandler(ChunkHandler handler) override { onChunk_ = std::move(handler); }
  void SetLossHandler(LossHandler handler) override { onLoss_ = std::move(handler); }

 private:
  class Session;

  void DeliverChunk(std::string_view chunk);
  void DeviceLost(const std::string& name);

  boost::asio::io_context& io_;
  Logger& log_;
  const std::filesystem::path devDir_;
  ChunkHandler onChunk_;
  LossHandler onLoss_;
  std::shared_ptr<Session> session_;  // the device while it is (or was last) open
};

}  // namespace talvero
