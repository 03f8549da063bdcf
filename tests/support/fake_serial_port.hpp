#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "station/serial_port.hpp"

namespace talvero::testing {

// A serial port in memory: records every write, lets the test deliver chunks,
// and opens only the names it is told exist.
class FakeSerialPort final : public SerialPort {
 public:
  bool Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  std::string Name() const override { return open_ ? name_ : std::string(); }
  void Write(std::string_view bytes) override;
  void SetChunkHandler(ChunkHandler handler) override { handler_ = std::move(handler); }
  void SetLossHandler(LossHandler handler) override { lossHandler_ = std::move(handler); }

  // Hands a chunk to the handler as the port layer would.
  void Deliver(std::string_view chunk);
  bool HasHandler() const { return static_cast<bool>(handler_); }
  // The device goes away as an unplugged adapter would: closed, then the loss told.
  void Lose();

  // Names that can be opened; every name when empty.
  std::set<std::string> openable;
  bool failAll = false;
  bool throwOnOpen = false;
  std::vector<std::string> writes;
  std::vector<std::string> writtenTo;  // the open name at each write
  std::vector<std::string> opened;     // every name Open was asked for, in order

 private:
  bool open_ = false;
  std::string name_;
  ChunkHandler handler_;
  LossHandler lossHandler_;
};

}  // namespace talvero::testing
