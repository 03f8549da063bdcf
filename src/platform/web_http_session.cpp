#include "platform/web_http_session.hpp"

#include <array>
#include <chrono>
#include <optional>

#include "platform/beast.hpp"
#include "platform/web_socket_session.hpp"

namespace talvero {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using boost::asio::ip::tcp;

// After a refusal the peer may still be sending; its bytes are read and
// discarded this long, so the refusal is not lost to a reset.
constexpr std::chrono::seconds kLingerTimeout{2};

bool IsParseError(const beast::error_code& ec) {
  return ec.category() == http::make_error_code(http::error::bad_target).category();
}

// One HTTP connection: read a request, answer it, and read the next while the
// peer keeps the connection alive. The diagram is short:
//
//   Read --request--> Handle --reply--> Write --keep-alive--> Read
//                        |                 `--close--> Close
//                        `--upgrade--> the WebSocket session takes the stream
//
// Every I/O failure goes to Close, which ends the connection for good;
// handlers that find it closed do nothing.
class HttpSession final : public WebConnection, public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket socket, std::shared_ptr<WebCore> core)
      : stream_(std::move(socket)), core_(std::move(core)) {}

  void Start() { Read(); }

  void Close() override {
    if (closed_) {
      return;
    }
    closed_ = true;
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
    core_->Forget(this);
  }

 private:
  void Read() {
    parser_.emplace();
    parser_->header_limit(static_cast<uint32_t>(core_->Limits().headerBytes));
    parser_->body_limit(core_->Limits().bodyBytes);
    stream_.expires_after(core_->Limits().requestTimeout);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](const beast::error_code& ec, size_t) { self->OnRead(ec); });
  }

  void OnRead(const beast::error_code& ec) {
    if (closed_) {
      return;
    }
    if (ec == http::error::header_limit) {
      Refuse(431, "The request header is too large.");
    } else if (ec == http::error::body_limit) {
      Refuse(413, "The request body is too large.");
    } else if (ec && IsParseError(ec) && ec != http::error::end_of_stream) {
      Refuse(400, "The request is not valid HTTP.");
    } else if (ec) {
      Close();
    } else {
      Handle();
    }
  }

  void Handle() {
    const http::request<http::string_body>& message = parser_->get();
    WebRequest request;
    request.method = std::string(message.method_string());
    request.target = std::string(message.target());
    if (message.count(http::field::host) == 1) {
      request.host = std::string(message[http::field::host]);
    }
    if (const size_t origins = message.count(http::field::origin); origins > 0) {
      // Two origins are no origin this server could serve.
      request.origin = origins == 1 ? std::string(message[http::field::origin]) : std::string();
    }
    for (auto [field, end] = message.equal_range(http::field::cookie); field != end; ++field) {
      const boost::beast::string_view value = field->value();
      request.cookie.append(request.cookie.empty() ? "" : "; ").append(value.data(), value.size());
    }
    request.upgrade = beast::websocket::is_upgrade(message);

    WebHandling handling = core_->Requests().Handle(request, core_->Log());
    if (handling.upgrade) {
      closed_ = true;
      core_->Forget(this);
      stream_.expires_never();
      StartWebSocketSession(std::move(stream_), parser_->release(), core_);
      return;
    }
    Write(std::move(handling.reply), message.version(), message.keep_alive());
  }

  // After a refusal the connection lingers: the peer may still be sending.
  enum class After { Read, Close, Linger };

  void Write(WebReply reply, unsigned version, bool keepAlive) {
    Send(std::move(reply), version, keepAlive, keepAlive ? After::Read : After::Close);
  }

  // Answers a request that could not be read, then lets the connection go.
  void Refuse(unsigned status, std::string_view text) {
    Send(core_->Requests().Refusal(status, text), 11, false, After::Linger);
  }

  void Send(WebReply reply, unsigned version, bool keepAlive, After after) {
    response_.emplace();
    response_->version(version);
    response_->result(reply.status);
    for (auto& [name, value] : reply.headers) {
      response_->set(name, value);
    }
    response_->body() = std::move(reply.body);
    response_->keep_alive(keepAlive);
    response_->prepare_payload();
    stream_.expires_after(core_->Limits().requestTimeout);
    http::async_write(stream_, *response_,
                      [self = shared_from_this(), after](const beast::error_code& ec, size_t) {
                        self->OnWritten(ec, after);
                      });
  }

  void OnWritten(const beast::error_code& ec, After after) {
    if (closed_) {
      return;
    }
    if (ec || after == After::Close) {
      Close();
    } else if (after == After::Read) {
      Read();
    } else {
      beast::error_code ignored;
      stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
      stream_.expires_after(kLingerTimeout);
      Drain();
    }
  }

  void Drain() {
    stream_.async_read_some(boost::asio::buffer(drain_),
                            [self = shared_from_this()](const beast::error_code& ec, size_t) {
                              if (self->closed_) {
                                return;
                              }
                              if (ec) {
                                self->Close();
                                return;
                              }
                              self->Drain();
                            });
  }

  beast::tcp_stream stream_;
  std::shared_ptr<WebCore> core_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::optional<http::response<http::string_body>> response_;
  std::array<char, 4096> drain_{};
  bool closed_ = false;
};

}  // namespace

void StartHttpSession(tcp::socket socket, const std::shared_ptr<WebCore>& core) {
  auto session = std::make_shared<HttpSession>(std::move(socket), core);
  if (!core->Admit(session)) {
    return;  // the socket closes with the session
  }
  session->Start();
}

}  // namespace talvero
