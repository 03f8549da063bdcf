#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace talvero {

// The serial line to the monitoring software (9600 8N1, no flow control).
class SerialPort {
 public:
  using ChunkHandler = std::function<void(std::string_view chunk)>;
  using LossHandler = std::function<void(const std::string& name)>;
  using OpenHandler = std::function<void()>;
  // What log lines call the output opened under a name: "Serial Port COM1"
  // in messages, "SERIAL PORT COM1" in warnings.
  struct LogNames {
    std::string mixed;
    std::string upper;
  };

  virtual ~SerialPort() = default;
  // Opens the device of this name, closing the one open under another name
  // first. Gives false when the device cannot be opened.
  virtual bool Open(const std::string& name) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // The name of the open device; empty when closed.
  virtual std::string Name() const = 0;
  // Hands the bytes over for transmission and returns at once.
  virtual void Write(std::string_view bytes) = 0;
  // Bytes that came in together arrive as one chunk, on the event thread.
  virtual void SetChunkHandler(ChunkHandler handler) = 0;
  // Told, on the event thread and once per opening, that the open device went
  // away (unplugged, hung up, a read or write failed); the port is closed then.
  virtual void SetLossHandler(LossHandler handler) = 0;

  virtual LogNames NamesFor(const std::string& name) const {
    return {"Serial Port " + name, "SERIAL PORT " + name};
  }
  // True for an output that opens in the background (a TCP connection): Open
  // gives false until it is open, and the outcome of each try comes later, on
  // the event thread, to the open handler or to the loss handler.
  virtual bool OpensLater() const { return false; }
  virtual void SetOpenHandler(OpenHandler /*handler*/) {}
};

}  // namespace talvero
