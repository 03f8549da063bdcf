#include "platform/asio_serial_port.hpp"

#include <sys/ioctl.h>
#include <termios.h>

#include <array>
#include <deque>

#include "base/guard.hpp"
#include "platform/asio.hpp"
#include "platform/chunk_assembler.hpp"
#include "platform/serial_device_path.hpp"

namespace talvero {

// One opening of a device. Completion handlers keep it alive and look at
// closed_ first, so once it is shut nothing reaches the port object again.
class AsioSerialPort::Session : public std::enable_shared_from_this<Session> {
 public:
  Session(boost::asio::io_context& io, std::string name, AsioSerialPort& owner)
      : name_(std::move(name)), port_(io), quietTimer_(io), owner_(owner) {}

  bool OpenDevice(const std::filesystem::path& path);
  void StartReading() { Read(); }
  void Write(std::string_view bytes);
  void Shut();
  bool Closed() const { return closed_; }
  const std::string& Name() const { return name_; }

 private:
  void Read();
  void OnRead(const boost::system::error_code& ec, size_t length);
  void ArmQuietTimer();
  void WriteHead();
  // The device is gone: close, hand over what it had already sent, tell the owner.
  void Vanish();
  // Runs the chunk handler; tells whether this session is still open after it.
  bool Deliver(std::string_view chunk);

  const std::string name_;
  boost::asio::serial_port port_;
  boost::asio::steady_timer quietTimer_;
  AsioSerialPort& owner_;
  ChunkAssembler assembler_;
  std::array<char, 1024> readBuffer_{};
  std::deque<std::string> pendingWrites_;  // the head is in flight while writing_
  bool writing_ = false;
  bool closed_ = false;
};

bool AsioSerialPort::Session::OpenDevice(const std::filesystem::path& path) {
  using boost::asio::serial_port_base;
  boost::system::error_code ec;
  // Asio opens non-blocking without a controlling terminal and sets raw mode.
  port_.open(path.string(), ec);
  if (ec) {
    return false;
  }
  port_.set_option(serial_port_base::baud_rate(9600), ec);
  if (!ec) {
    port_.set_option(serial_port_base::character_size(8), ec);
  }
  if (!ec) {
    port_.set_option(serial_port_base::parity(serial_port_base::parity::none), ec);
  }
  if (!ec) {
    port_.set_option(serial_port_base::stop_bits(serial_port_base::stop_bits::one), ec);
  }
  if (!ec) {
    port_.set_option(serial_port_base::flow_control(serial_port_base::flow_control::none), ec);
  }
  if (ec) {
    boost::system::error_code ignored;
    port_.close(ignored);
    return false;
  }
  const int fd = port_.native_handle();
  // Pseudo-terminals and some adapters have no modem lines; that is no failure.
  int lines = TIOCM_DTR | TIOCM_RTS;
  (void)::ioctl(fd, TIOCMBIS, &lines);
  // Bytes left over from before the open would count as an answer to a line
  // that was never written.
  (void)::tcflush(fd, TCIOFLUSH);
  return true;
}

void AsioSerialPort::Session::Write(std::string_view bytes) {
  if (closed_ || bytes.empty()) {
    return;
  }
  pendingWrites_.emplace_back(bytes);
  if (!writing_) {
    WriteHead();
  }
}

void AsioSerialPort::Session::Shut() {
  if (closed_) {
    return;
  }
  closed_ = true;
  boost::system::error_code ignored;
  quietTimer_.cancel();
  // The pending writes stay: an aborted write may still refer to its buffer.
  port_.close(ignored);
}

void AsioSerialPort::Session::Read() {
  port_.async_read_some(boost::asio::buffer(readBuffer_),
                        [self = shared_from_this()](const boost::system::error_code& ec,
                                                    size_t length) { self->OnRead(ec, length); });
}

void AsioSerialPort::Session::OnRead(const boost::system::error_code& ec, size_t length) {
  if (closed_) {
    return;
  }
  if (ec) {
    Vanish();
    return;
  }
  const auto full = assembler_.Add(std::string_view(readBuffer_.data(), length),
                                   std::chrono::steady_clock::now());
  for (const auto& chunk : full) {
    if (!Deliver(chunk)) {
      return;
    }
  }
  ArmQuietTimer();
  Read();
}

void AsioSerialPort::Session::ArmQuietTimer() {
  const auto due = assembler_.QuietDue();
  if (!due) {
    return;
  }
  // Re-arming cancels the wait before; a wait that had already finished finds
  // the input not quiet yet and arms again.
  quietTimer_.expires_at(*due);
  quietTimer_.async_wait([self = shared_from_this()](const boost::system::error_code& ec) {
    if (ec || self->closed_) {
      return;
    }
    if (auto chunk = self->assembler_.TakeIfQuiet(std::chrono::steady_clock::now())) {
      if (!self->Deliver(*chunk)) {
        return;
      }
    }
    self->ArmQuietTimer();
  });
}

void AsioSerialPort::Session::WriteHead() {
  writing_ = true;
  boost::asio::async_write(
      port_, boost::asio::buffer(pendingWrites_.front()),
      [self = shared_from_this()](const boost::system::error_code& ec, size_t) {
        self->writing_ = false;
        if (self->closed_) {
          return;
        }
        if (ec) {
          self->Vanish();
          return;
        }
        self->pendingWrites_.pop_front();
        if (!self->pendingWrites_.empty()) {
          self->WriteHead();
        }
      });
}

void AsioSerialPort::Session::Vanish() {
  const std::string received = assembler_.TakeAll();
  Shut();
  // The owner is still there: going away, it would have shut this session first.
  if (!received.empty()) {
    owner_.DeliverChunk(received);
  }
  owner_.DeviceLost(name_);
}

bool AsioSerialPort::Session::Deliver(std::string_view chunk) {
  owner_.DeliverChunk(chunk);
  return !closed_;
}

AsioSerialPort::AsioSerialPort(boost::asio::io_context& io, Logger& log,
                               std::filesystem::path devDir)
    : io_(io), log_(log), devDir_(std::move(devDir)) {}

AsioSerialPort::~AsioSerialPort() {
  Close();
}

bool AsioSerialPort::Open(const std::string& name) {
  if (IsOpen() && session_->Name() == name) {
    return true;
  }
  Close();
  const auto path = SerialDevicePath(devDir_, name);
  if (!path) {
    return false;
  }
  auto session = std::make_shared<Session>(io_, name, *this);
  if (!session->OpenDevice(*path)) {
    return false;
  }
  session_ = std::move(session);
  session_->StartReading();
  return true;
}

void AsioSerialPort::Close() {
  if (session_) {
    session_->Shut();
    session_.reset();
  }
}

bool AsioSerialPort::IsOpen() const {
  return session_ && !session_->Closed();
}

std::string AsioSerialPort::Name() const {
  return IsOpen() ? session_->Name() : std::string();
}

void AsioSerialPort::Write(std::string_view bytes) {
  if (IsOpen()) {
    session_->Write(bytes);
  }
}

void AsioSerialPort::DeviceLost(const std::string& name) {
  Guarded(log_, "SerialPortLost", [&] {
    if (onLoss_) {
      onLoss_(name);
    }
  });
}

void AsioSerialPort::DeliverChunk(std::string_view chunk) {
  Guarded(log_, "SerialPortChunk", [&] {
    if (onChunk_) {
      onChunk_(chunk);
    }
  });
}

}  // namespace talvero
