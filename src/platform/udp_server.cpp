#include "platform/udp_server.hpp"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "base/guard.hpp"

namespace talvero {

namespace {

// A full send buffer is what a flood of datagrams from outside leaves behind.
bool PeerCaused(const boost::system::error_code& ec) {
  return ec == boost::asio::error::would_block || ec == boost::asio::error::no_buffer_space;
}

}  // namespace

UdpServer::UdpServer(boost::asio::io_context& io, uint16_t port, FrameDelivery& delivery)
    : socket_(io), delivery_(delivery) {
  using boost::asio::ip::udp;
  // No address reuse: a second socket on the port would take some datagrams away.
  socket_.open(udp::v4());
  socket_.bind(udp::endpoint(boost::asio::ip::address_v4::any(), port));
  RaiseReceiveBuffer();
  // A full send buffer fails the send instead of stalling the event thread.
  socket_.non_blocking(true);
  localPort_ = socket_.local_endpoint().port();
}

void UdpServer::RaiseReceiveBuffer() {
  // Many units that report at once (after an outage, say) must not overflow
  // the kernel's queue while the loop works through it. As root the system's
  // cap does not apply; otherwise the kernel grants up to that cap.
  const int size = kReceiveBuffer;
  if (::setsockopt(socket_.native_handle(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
    boost::system::error_code ignored;
    socket_.set_option(boost::asio::socket_base::receive_buffer_size(size), ignored);
  }
}

void UdpServer::Start() {
  Receive();
}

void UdpServer::Close() {
  if (closed_) {
    return;
  }
  closed_ = true;
  boost::system::error_code ignored;
  socket_.close(ignored);
}

void UdpServer::Send(std::string_view data) {
  if (closed_) {
    throw std::runtime_error("UDP server closed");
  }
  if (!peer_) {
    throw std::runtime_error("no UDP peer yet");
  }
  if (inBatch_) {
    answers_.push_back({*peer_, std::string(data)});
    return;
  }
  delivery_.BeforeAnswersLeave();
  boost::system::error_code ec;
  socket_.send_to(boost::asio::buffer(data.data(), data.size()), *peer_, 0, ec);
  if (ec && PeerCaused(ec)) {
    throw PeerFault(boost::system::system_error(ec, "send_to").what());
  }
  if (ec) {
    throw boost::system::system_error(ec, "send_to");
  }
}

std::string UdpServer::PeerAddress() const {
  return peer_ ? peer_->address().to_string() : std::string();
}

uint16_t UdpServer::PeerPort() const {
  return peer_ ? peer_->port() : 0;
}

void UdpServer::Receive() {
  socket_.async_wait(
      boost::asio::ip::udp::socket::wait_read,
      [self = shared_from_this()](const boost::system::error_code& ec) { self->OnReadable(ec); });
}

void UdpServer::OnReadable(const boost::system::error_code& ec) {
  if (closed_) {
    return;
  }
  if (ec) {
    ReportFailure(delivery_.Log(), "IdUDPServer1UDPRead", ec.message());
    Receive();
    return;
  }
  // Many datagrams in one call when many wait: the call costs more than the copy.
  for (mmsghdr& header : batch_->headers) {
    header.msg_hdr.msg_namelen = sizeof(sockaddr_in);
  }
  const int got = ::recvmmsg(socket_.native_handle(), batch_->headers.data(), kBatchSize,
                             MSG_DONTWAIT, nullptr);
  if (got < 0) {
    const int error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK) {
      Receive();
      return;
    }
    if (error != EINTR) {
      ReportFailure(delivery_.Log(), "IdUDPServer1UDPRead",
                    boost::system::error_code(error, boost::system::system_category()).message());
    }
  }
  const Route self = shared_from_this();
  inBatch_ = true;
  for (int i = 0; i < got && !closed_; ++i) {
    const mmsghdr& header = batch_->headers[static_cast<size_t>(i)];
    // A datagram beyond the limit fills the extra byte, or is cut by the kernel.
    if (header.msg_len > kDatagramLimit || (header.msg_hdr.msg_flags & MSG_TRUNC) != 0) {
      continue;
    }
    boost::asio::ip::udp::endpoint sender;
    std::memcpy(sender.data(), &batch_->senders[static_cast<size_t>(i)],
                sizeof(batch_->senders[0]));
    peer_ = sender;
    delivery_.Deliver(
        self, std::string_view(batch_->buffers[static_cast<size_t>(i)].data(), header.msg_len),
        "IdUDPServer1UDPRead");
  }
  inBatch_ = false;
  SendAnswers();
  if (closed_) {
    return;
  }
  if (got >= 0 && static_cast<size_t>(got) < kBatchSize) {
    // The queue was empty: wait for the next datagram.
    Receive();
    return;
  }
  // More may wait: read on once the other handlers had their turn, so a
  // flood of datagrams does not hold up the TCP connections and timers.
  boost::asio::post(socket_.get_executor(),
                    [self = shared_from_this()] { self->OnReadable(boost::system::error_code()); });
}

void UdpServer::SendAnswers() {
  if (answers_.empty() || closed_) {
    answers_.clear();
    return;
  }
  delivery_.BeforeAnswersLeave();
  for (const Answer& answer : answers_) {
    boost::system::error_code ec;
    socket_.send_to(boost::asio::buffer(answer.data), answer.to, 0, ec);
    if (ec) {
      const std::string failure = boost::system::system_error(ec, "send_to").what();
      if (PeerCaused(ec)) {
        delivery_.Log().LogImpMsg("!! CAN NOT SEND: " + failure);
      } else {
        ReportFailure(delivery_.Log(), "RealSend", failure);
      }
    }
  }
  answers_.clear();
}

UdpServer::Batch::Batch() {
  for (size_t i = 0; i < kBatchSize; ++i) {
    vectors[i] = {buffers[i].data(), buffers[i].size()};
    msghdr& header = headers[i].msg_hdr;
    header.msg_name = &senders[i];
    header.msg_namelen = sizeof(senders[i]);
    header.msg_iov = &vectors[i];
    header.msg_iovlen = 1;
  }
}

}  // namespace talvero
