#include "platform/tcp_station_port.hpp"

#include <fmt/format.h>
#include <netinet/tcp.h>

#include "base/guard.hpp"
#include "platform/asio.hpp"
#include "platform/host_name.hpp"
#include "platform/station_stream_session.hpp"

namespace talvero {

using boost::asio::ip::tcp;

// One connection, from the first try to its end.
class TcpStationPort::Session : public StationStreamSession<Session, tcp::socket> {
 public:
  Session(boost::asio::io_context& io, TcpStationPort& owner)
      : StationStreamSession(io), resolver_(io), deadline_(io), owner_(owner) {}

  void Connect(const std::string& host, uint16_t port);
  void Write(std::string_view bytes);
  void Shut();
  bool Connected() const { return connected_ && !closed_; }
  bool Closed() const { return closed_; }

 private:
  friend class StationStreamSession<Session, tcp::socket>;

  void OnConnect(const boost::system::error_code& ec);
  void WriteHead();
  // The connection is gone: hand over what it had already sent, tell the owner.
  void Vanish();
  bool Deliver(std::string_view chunk);

  tcp::resolver resolver_;
  // The connect's and then each write's time limit.
  boost::asio::steady_timer deadline_;
  TcpStationPort& owner_;
  size_t pendingBytes_ = 0;
  bool connected_ = false;
};

void TcpStationPort::Session::Connect(const std::string& host, uint16_t port) {
  deadline_.expires_after(kConnectTimeout);
  deadline_.async_wait([self = shared_from_this()](const boost::system::error_code& ec) {
    if (!ec && !self->closed_ && !self->connected_) {
      self->Vanish();
    }
  });
  resolver_.async_resolve(ResolverHost(host), std::to_string(port),
                          [self = shared_from_this()](const boost::system::error_code& ec,
                                                      const tcp::resolver::results_type& results) {
                            if (self->closed_) {
                              return;
                            }
                            if (ec) {
                              self->Vanish();
                              return;
                            }
                            boost::asio::async_connect(
                                self->stream_, results,
                                [self](const boost::system::error_code& connectEc,
                                       const tcp::endpoint&) { self->OnConnect(connectEc); });
                          });
}

void TcpStationPort::Session::OnConnect(const boost::system::error_code& ec) {
  if (closed_) {
    return;
  }
  if (ec) {
    Vanish();
    return;
  }
  deadline_.cancel();
  boost::system::error_code ignored;
  // A line is a few dozen bytes and its answer is awaited: no coalescing.
  stream_.set_option(tcp::no_delay(true), ignored);
  stream_.set_option(boost::asio::socket_base::keep_alive(true), ignored);
  // A peer that vanishes (cable, power) is found within about a minute, and
  // bytes it does not acknowledge for kWriteTimeout end the connection.
  using KeepIdle = boost::asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPIDLE>;
  using KeepInterval = boost::asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPINTVL>;
  using KeepCount = boost::asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPCNT>;
  using UserTimeout = boost::asio::detail::socket_option::integer<IPPROTO_TCP, TCP_USER_TIMEOUT>;
  stream_.set_option(KeepIdle(30), ignored);
  stream_.set_option(KeepInterval(10), ignored);
  stream_.set_option(KeepCount(3), ignored);
  stream_.set_option(
      UserTimeout(static_cast<int>(std::chrono::milliseconds(kWriteTimeout).count())), ignored);
  connected_ = true;
  Read();
  owner_.Connected();
}

void TcpStationPort::Session::Write(std::string_view bytes) {
  if (!Connected() || bytes.empty()) {
    return;
  }
  // The link writes one line at a time and again every few seconds; this
  // much waiting means the peer has stopped reading.
  // It is told after the write returns, as every other loss is.
  if (pendingBytes_ + bytes.size() > kMaxQueuedBytes) {
    boost::asio::post(stream_.get_executor(), [self = shared_from_this()] {
      if (!self->closed_) {
        self->Vanish();
      }
    });
    return;
  }
  pendingWrites_.emplace_back(bytes);
  pendingBytes_ += bytes.size();
  if (!writing_) {
    WriteHead();
  }
}

void TcpStationPort::Session::Shut() {
  if (closed_) {
    return;
  }
  resolver_.cancel();
  deadline_.cancel();
  ShutStream();
}

void TcpStationPort::Session::WriteHead() {
  writing_ = true;
  deadline_.expires_after(kWriteTimeout);
  deadline_.async_wait([self = shared_from_this()](const boost::system::error_code& ec) {
    if (!ec && !self->closed_ && self->writing_) {
      self->Vanish();
    }
  });
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
        self->deadline_.cancel();
        self->pendingBytes_ -= self->pendingWrites_.front().size();
        self->pendingWrites_.pop_front();
        if (!self->pendingWrites_.empty()) {
          self->WriteHead();
        }
      });
}

void TcpStationPort::Session::Vanish() {
  const std::string received = assembler_.TakeAll();
  Shut();
  if (!received.empty()) {
    owner_.DeliverChunk(received);
  }
  owner_.Lost();
}

bool TcpStationPort::Session::Deliver(std::string_view chunk) {
  owner_.DeliverChunk(chunk);
  return !closed_;
}

TcpStationPort::TcpStationPort(boost::asio::io_context& io, Logger& log, std::string host,
                               uint16_t port)
    : io_(io),
      log_(log),
      host_(std::move(host)),
      port_(port),
      address_(fmt::format("tcp:{}:{}", host_, port_)) {}

TcpStationPort::~TcpStationPort() {
  Close();
}

bool TcpStationPort::Open(const std::string& /*name*/) {
  if (IsOpen()) {
    return true;
  }
  if (session_ && !session_->Closed()) {
    return false;  // a try is under way
  }
  session_ = std::make_shared<Session>(io_, *this);
  session_->Connect(host_, port_);
  return false;
}

void TcpStationPort::Close() {
  if (session_) {
    session_->Shut();
    session_.reset();
  }
}

bool TcpStationPort::IsOpen() const {
  return session_ && session_->Connected();
}

std::string TcpStationPort::Name() const {
  return IsOpen() ? address_ : std::string();
}

void TcpStationPort::Write(std::string_view bytes) {
  if (IsOpen()) {
    session_->Write(bytes);
  }
}

SerialPort::LogNames TcpStationPort::NamesFor(const std::string& /*name*/) const {
  return {"Station connection " + address_, "STATION CONNECTION " + address_};
}

void TcpStationPort::Connected() {
  GuardedCall(log_, "StationConnectionOpened", onOpen_);
}

void TcpStationPort::Lost() {
  GuardedCall(log_, "SerialPortLost", onLoss_, address_);
}

void TcpStationPort::DeliverChunk(std::string_view chunk) {
  GuardedCall(log_, "SerialPortChunk", onChunk_, chunk);
}

}  // namespace talvero
