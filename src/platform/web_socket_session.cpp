#include "platform/web_socket_session.hpp"

#include <chrono>
#include <deque>

namespace talvero {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;

// A page that neither answers the handshake, the closing handshake nor a ping
// for this long is gone.
constexpr std::chrono::seconds kHandshakeTimeout{5};
constexpr std::chrono::seconds kIdleTimeout{60};
// Stop waits this long at most for a page to take its last messages and the close.
constexpr std::chrono::seconds kCloseDeadline{2};

// One page's WebSocket:
//
//   Accept --> Read --message--> WebCore::Receive --> Read ...
//   Send --> queue --> Write (one in flight) --> Write ... --> (closing) Close
//
// Every failure of a read, a write or the close ends in Finish, which closes
// the socket and tells the core once. A page whose queue overflows is dropped
// at once; Stop lets the queue drain, then closes with "going away".
class WebSocketSession final : public WebChannelSession,
                               public std::enable_shared_from_this<WebSocketSession> {
 public:
  WebSocketSession(beast::tcp_stream stream, std::shared_ptr<WebCore> core)
      : ws_(std::move(stream)), closeDeadline_(ws_.get_executor()), core_(std::move(core)) {}

  void Start(http::request<http::string_body> request) {
    request_ = std::move(request);
    websocket::stream_base::timeout timeout{};
    timeout.handshake_timeout = kHandshakeTimeout;
    timeout.idle_timeout = kIdleTimeout;
    timeout.keep_alive_pings = true;
    ws_.set_option(timeout);
    ws_.read_message_max(core_->Limits().messageBytes);
    ws_.async_accept(
        request_, [self = shared_from_this()](const beast::error_code& ec) { self->OnAccept(ec); });
  }

  bool Send(std::shared_ptr<const std::string> text) override {
    if (finished_ || closing_) {
      return false;
    }
    const WebLimits& limits = core_->Limits();
    if (queue_.size() >= limits.queuedMessages ||
        queuedBytes_ + text->size() > limits.queuedBytes) {
      Drop();
      return false;
    }
    queuedBytes_ += text->size();
    queue_.push_back(std::move(text));
    if (!writing_) {
      WriteHead();
    }
    return true;
  }

  void Close() override {
    if (finished_ || closing_) {
      return;
    }
    if (id_ == 0) {
      Finish();
      return;
    }
    closing_ = true;
    closeDeadline_.expires_after(kCloseDeadline);
    closeDeadline_.async_wait([self = shared_from_this()](const beast::error_code& ec) {
      if (!ec) {
        self->Finish();
      }
    });
    if (!writing_) {
      CloseHandshake();
    }
  }

 private:
  void OnAccept(const beast::error_code& ec) {
    if (finished_) {
      return;
    }
    if (ec || core_->Stopping()) {
      Finish();
      return;
    }
    id_ = core_->OpenSession(shared_from_this());
    if (!finished_ && !closing_) {
      Read();
    }
  }

  void Read() {
    ws_.async_read(buffer_, [self = shared_from_this()](const beast::error_code& ec, size_t) {
      self->OnRead(ec);
    });
  }

  void OnRead(const beast::error_code& ec) {
    if (finished_) {
      return;
    }
    if (ec) {
      // A closing page, a failure, a timeout or a message over the limit alike.
      Finish();
      return;
    }
    const std::string text = beast::buffers_to_string(buffer_.data());
    buffer_.consume(buffer_.size());
    core_->Receive(id_, text, ws_.got_text());
    // While closing, the closing handshake reads what still comes.
    if (!finished_ && !closing_) {
      Read();
    }
  }

  void WriteHead() {
    writing_ = true;
    ws_.text(true);
    ws_.async_write(
        boost::asio::buffer(*queue_.front()),
        [self = shared_from_this()](const beast::error_code& ec, size_t) { self->OnWritten(ec); });
  }

  void OnWritten(const beast::error_code& ec) {
    writing_ = false;
    if (finished_) {
      return;
    }
    if (ec) {
      Finish();
      return;
    }
    queuedBytes_ -= queue_.front()->size();
    queue_.pop_front();
    if (!queue_.empty()) {
      WriteHead();
    } else if (closing_) {
      CloseHandshake();
    }
  }

  void CloseHandshake() {
    ws_.async_close(websocket::close_code::going_away,
                    [self = shared_from_this()](const beast::error_code&) { self->Finish(); });
  }

  // A page that does not read: no more is queued for it. Finish comes from
  // the loop, not from inside the Send of a broadcast.
  void Drop() {
    closing_ = true;
    beast::get_lowest_layer(ws_).close();
    boost::asio::post(ws_.get_executor(), [self = shared_from_this()] { self->Finish(); });
  }

  void Finish() {
    if (finished_) {
      return;
    }
    finished_ = true;
    closeDeadline_.cancel();
    // The queue stays: an aborted write may still refer to its head.
    beast::get_lowest_layer(ws_).close();
    if (id_ != 0) {
      core_->SessionClosed(id_);
    }
    core_->Forget(this);
  }

  websocket::stream<beast::tcp_stream> ws_;
  boost::asio::steady_timer closeDeadline_;
  std::shared_ptr<WebCore> core_;
  http::request<http::string_body> request_;
  beast::flat_buffer buffer_;
  std::deque<std::shared_ptr<const std::string>> queue_;  // the head is in flight while writing_
  size_t queuedBytes_ = 0;
  WebSessionId id_ = 0;  // 0 until the handshake is done
  bool writing_ = false;
  bool closing_ = false;
  bool finished_ = false;
};

}  // namespace

void StartWebSocketSession(beast::tcp_stream stream, http::request<http::string_body> request,
                           const std::shared_ptr<WebCore>& core) {
  auto session = std::make_shared<WebSocketSession>(std::move(stream), core);
  if (!core->Admit(session)) {
    return;
  }
  session->Start(std::move(request));
}

}  // namespace talvero
