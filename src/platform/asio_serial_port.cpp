#include "platform/asio_serial_port.hpp"

#include <sys/ioctl.h>
#include <termios.h>

#include "base/guard.hpp"
#include "platform/asio.hpp"
#include "platform/serial_device_path.hpp"
#include "platform/station_stream_session.hpp"

namespace talvero {

// One opening of a device.
class AsioSerialPort::Session : public StationStreamSession<Session, boost::asio::serial_port> {
 public:
  Session(boost::asio::io_context& io, std::string name, AsioSerialPort& owner)
      : StationStreamSession(io), name_(std::move(name)), owner_(owner) {}

  bool OpenDevice(const std::filesystem::path& path);
  void StartReading() { Read(); }
  void Write(std::string_view bytes);
  void Shut();
  bool Closed() const { return closed_; }
  const std::string& Name() const { return name_; }

 private:
  friend class StationStreamSession<Session, boost::asio::serial_port>;

  void WriteHead();
  // The device is gone: close, hand over what it had already sent, tell the owner.
  void Vanish();
  // Runs the chunk handler; tells whether this session is still open after it.
  bool Deliver(std::string_view chunk);

  const std::string name_;
  AsioSerialPort& owner_;
};

bool AsioSerialPort::Session::OpenDevice(const std::filesystem::path& path) {
  using boost::asio::serial_port_base;
  boost::system::error_code ec;
  // Asio opens non-blocking without a controlling terminal and sets raw mode.
  stream_.open(path.string(), ec);
  if (ec) {
    return false;
  }
  stream_.set_option(serial_port_base::baud_rate(9600), ec);
  if (!ec) {
    stream_.set_option(serial_port_base::character_size(8), ec);
  }
  if (!ec) {
    stream_.set_option(serial_port_base::parity(serial_port_base::parity::none), ec);
  }
  if (!ec) {
    stream_.set_option(serial_port_base::stop_bits(serial_port_base::stop_bits::one), ec);
  }
  if (!ec) {
    stream_.set_option(serial_port_base::flow_control(serial_port_base::flow_control::none), ec);
  }
  if (ec) {
    boost::system::error_code ignored;
    stream_.close(ignored);
    return false;
  }
  const int fd = stream_.native_handle();
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
  ShutStream();
}

void AsioSerialPort::Session::WriteHead() {
  writing_ = true;
  boost::asio::async_write(
      stream_, boost::asio::buffer(pendingWrites_.front()),
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
  GuardedCall(log_, "SerialPortLost", onLoss_, name);
}

void AsioSerialPort::DeliverChunk(std::string_view chunk) {
  GuardedCall(log_, "SerialPortChunk", onChunk_, chunk);
}

}  // namespace talvero
