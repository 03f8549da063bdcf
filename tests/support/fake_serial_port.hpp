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
  void SetOpenHandler(OpenHandler handler) override { openHandler_ = std::move(handler); }
  bool OpensLater() const override { return opensLater; }
  LogNames NamesFor(const std::string& name) const override;

  // Hands a chunk to the handler as the port layer would.
  void Deliver(std::string_view chunk);
  bool HasHandler() const { return static_cast<bool>(handler_); }
  // The device goes away as an unplugged adapter would: closed, then the loss told.
  void Lose();
  // With opensLater: the try under way succeeds, or fails (the loss told).
  void FinishOpen(bool success);

  // Names that can be opened; every name when empty.
  std::set<std::string> openable;
  bool failAll = false;
  bool throwOnOpen = false;
  // Opens as a TCP connection does: Open gives false, FinishOpen the outcome.
  bool opensLater = false;
  std::string outputName;  // set: log lines name the output "Output <outputName>"
  std::vector<std::string> writes;
  std::vector<std::string> writtenTo;  // the open name at each write
  std::vector<std::string> opened;     // every name Open was asked for, in order

 private:
  bool open_ = false;
  std::string name_;
  ChunkHandler handler_;
  LossHandler lossHandler_;
  OpenHandler openHandler_;
  std::string trying_;  // the name of the try under way, with opensLater
};

}  // namespace talvero::testing
