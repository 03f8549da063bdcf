#include "platform/tcp_connection.hpp"

#include <fmt/format.h>

#include <stdexcept>

#include "base/guard.hpp"
#include "log/separated.hpp"

namespace talvero {

TcpConnection::TcpConnection(boost::asio::ip::tcp::socket socket,
                             const boost::asio::ip::tcp::endpoint& peer, FrameDelivery& delivery,
                             std::shared_ptr<AnswerBatch> batch, ClosedHandler onClosed)
    : socket_(std::move(socket)),
      peerAddress_(peer.address().to_string()),
      peerPort_(peer.port()),
      delivery_(delivery),
      batch_(std::move(batch)),
      onClosed_(std::move(onClosed)) {
  // available() and the follow-up read must never block the event thread.
  boost::system::error_code ignored;
  socket_.non_blocking(true, ignored);
}

void TcpConnection::Start() {
  Logger& log = delivery_.Log();
  Guarded(log, "ServerSocket1ClientConnect", [&] {
    log.LogAllMsg(Separated(fmt::format("Connected from {}:{}", peerAddress_, peerPort_)));
  });
  Read();
}

void TcpConnection::Close() {
  Shut(true);
}

void TcpConnection::Release() {
  Shut(false);
}

void TcpConnection::Shut(bool logged) {
  if (closed_) {
    return;
  }
  closed_ = true;
  boost::system::error_code ignored;
  if (writePosted_) {
    // Answers queued in this turn of the loop still leave before the close,
    // as far as the socket takes them now.
    delivery_.BeforeAnswersLeave();
    for (const std::string& pending : pendingWrites_) {
      if (socket_.send(boost::asio::buffer(pending), 0, ignored) < pending.size()) {
        break;
      }
    }
  }
  socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
  // The pending writes stay: an aborted write may still refer to its buffer.
  socket_.close(ignored);
  if (logged) {
    Logger& log = delivery_.Log();
    Guarded(log, "ServerSocket1ClientDisconnect", [&] {
      log.LogAllMsg(Separated(fmt::format("Disconnected from {}:{}", peerAddress_, peerPort_)));
    });
  }
  if (onClosed_) {
    const auto onClosed = std::move(onClosed_);
    onClosed(this);
  }
}

void TcpConnection::Send(std::string_view data) {
  if (closed_) {
    throw std::runtime_error("connection closed");
  }
  if (pendingWrites_.size() >= kMaxPendingWrites) {
    throw PeerFault(fmt::format("send queue of {}:{} full", peerAddress_, peerPort_));
  }
  pendingWrites_.emplace_back(data);
  if (!writing_) {
    // The first write waits for the batch, so the answers of one turn leave
    // back to back: a peer that is woken by the first is still awake for the
    // next, instead of being woken again for each, which costs the event
    // thread more than the write.
    writing_ = true;
    writePosted_ = true;
    batch_->Add(shared_from_this());
  }
}

void TcpConnection::WriteHeldAnswers() {
  writePosted_ = false;
  if (!closed_) {
    WriteQueued();
  }
}

void TcpConnection::Read() {
  socket_.async_read_some(boost::asio::buffer(readBuffer_),
                          [self = shared_from_this()](const boost::system::error_code& ec,
                                                      size_t length) { self->OnRead(ec, length); });
}

void TcpConnection::OnRead(const boost::system::error_code& ec, size_t length) {
  if (closed_) {
    return;
  }
  if (ec == boost::asio::error::eof) {
    Close();
    return;
  }
  if (ec) {
    Fail(ec);
    return;
  }
  // One read event is one frame: what came with the event plus all that is
  // already waiting behind it. A read that did not fill the buffer took all
  // there was, so only a full one asks for more.
  std::string_view frame(readBuffer_.data(), length);
  std::string joined;
  boost::system::error_code more;
  const size_t waiting = length < readBuffer_.size() ? 0 : socket_.available(more);
  if (!more && waiting > 0) {
    joined.assign(frame);
    joined.resize(length + waiting);
    size_t taken = 0;
    while (taken < waiting && !more) {
      taken += socket_.read_some(
          boost::asio::buffer(joined.data() + length + taken, waiting - taken), more);
    }
    // An error here shows again on the next read, which reports it.
    joined.resize(length + taken);
    frame = joined;
  }
  delivery_.Deliver(shared_from_this(), frame, "ServerSocket1ClientRead");
  batch_->WriteIfFull();
  if (!closed_) {
    Read();
  }
}

void TcpConnection::WriteHead() {
  delivery_.BeforeAnswersLeave();
  WriteQueued();
}

void TcpConnection::WriteQueued() {
  writing_ = true;
  // The socket is non-blocking: answers leave in this call as far as it takes
  // them, and only a rest it cannot take now waits for it to drain. That
  // spares each answer a write operation and its completion on the loop.
  while (!pendingWrites_.empty()) {
    std::string& head = pendingWrites_.front();
    boost::system::error_code ec;
    const size_t sent = socket_.send(boost::asio::buffer(head), 0, ec);
    if (ec == boost::asio::error::would_block || ec == boost::asio::error::try_again) {
      break;
    }
    if (ec) {
      writing_ = false;
      Fail(ec);
      return;
    }
    if (sent < head.size()) {
      head.erase(0, sent);
      break;
    }
    pendingWrites_.pop_front();
  }
  if (pendingWrites_.empty()) {
    writing_ = false;
    return;
  }
  boost::asio::async_write(socket_, boost::asio::buffer(pendingWrites_.front()),
                           [self = shared_from_this()](const boost::system::error_code& ec,
                                                       size_t) { self->OnWritten(ec); });
}

void TcpConnection::OnWritten(const boost::system::error_code& ec) {
  writing_ = false;
  if (closed_) {
    return;
  }
  if (ec) {
    Fail(ec);
    return;
  }
  pendingWrites_.pop_front();
  if (!pendingWrites_.empty()) {
    WriteHead();
  }
}

void TcpConnection::Fail(const boost::system::error_code& ec) {
  Logger& log = delivery_.Log();
  Guarded(log, "ServerSocket1ClientError", [&] {
    log.LogAllMsg(
        Separated(fmt::format("Socket Error {} ({}:{})", ec.value(), peerAddress_, peerPort_)));
  });
  Close();
}

}  // namespace talvero
