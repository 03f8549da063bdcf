#include "platform/metrics_server.hpp"

#include <fmt/format.h>

#include <optional>
#include <stdexcept>
#include <unordered_map>

#include "base/guard.hpp"
#include "platform/beast.hpp"
#include "platform/host_name.hpp"
#include "platform/metrics_request.hpp"

namespace talvero {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using boost::asio::ip::tcp;

bool IsParseError(const beast::error_code& ec) {
  return ec.category() == http::make_error_code(http::error::bad_target).category();
}

}  // namespace

// The listener and its connections. A connection:
//
//   Read --request--> Answer --> Write --keep-alive--> Read
//                                   `--close or refusal--> Close
//
// Every I/O failure (a time-out included) goes to Close.
class MetricsServer::Impl : public std::enable_shared_from_this<Impl> {
 public:
  Impl(boost::asio::io_context& io, const MetricsServerOptions& options, Logger& log, Render render)
      : acceptor_(io), retry_(io), options_(options), log_(log), render_(std::move(render)) {}

  void Bind();
  void Accept();
  void Stop();
  uint16_t LocalPort() const { return localPort_; }

 private:
  class Connection;

  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::steady_timer retry_;
  const MetricsServerOptions options_;
  Logger& log_;
  Render render_;
  std::unordered_map<Connection*, std::shared_ptr<Connection>> connections_;
  uint16_t localPort_ = 0;
  bool stopped_ = false;
};

class MetricsServer::Impl::Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, std::shared_ptr<Impl> server)
      : stream_(std::move(socket)), server_(std::move(server)) {}

  void Read() {
    parser_.emplace();
    parser_->header_limit(static_cast<uint32_t>(server_->options_.headerBytes));
    parser_->body_limit(0);
    stream_.expires_after(server_->options_.timeout);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](const beast::error_code& ec, size_t) { self->OnRead(ec); });
  }

  void Close() {
    if (closed_) {
      return;
    }
    closed_ = true;
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
    server_->connections_.erase(this);  // may end this object: the last thing done
  }

 private:
  void OnRead(const beast::error_code& ec) {
    if (closed_) {
      return;
    }
    if (ec == http::error::header_limit) {
      Send(RefuseMetricsRequest(431, "The request header is too large."), 11, false);
    } else if (ec == http::error::body_limit || ec == http::error::unexpected_body) {
      Send(RefuseMetricsRequest(400, "A request here has no body."), 11, false);
    } else if (ec && IsParseError(ec) && ec != http::error::end_of_stream) {
      Send(RefuseMetricsRequest(400, "The request is not valid HTTP."), 11, false);
    } else if (ec) {
      Close();
    } else {
      const auto& request = parser_->get();
      MetricsAnswer answer;
      const bool rendered = Guarded(server_->log_, "Metrics", [&] {
        const auto method = request.method_string();
        const auto target = request.target();
        answer =
            AnswerMetricsRequest(std::string_view(method.data(), method.size()),
                                 std::string_view(target.data(), target.size()), server_->render_);
      });
      if (!rendered) {
        answer = RefuseMetricsRequest(500, "The metrics could not be gathered.");
      }
      Send(std::move(answer), request.version(), request.keep_alive());
    }
  }

  void Send(MetricsAnswer answer, unsigned version, bool keepAlive) {
    response_.emplace();
    response_->version(version);
    response_->result(answer.status);
    response_->set(http::field::content_type, answer.contentType);
    if (answer.allowGetOnly) {
      response_->set(http::field::allow, "GET");
    }
    response_->body() = std::move(answer.body);
    response_->keep_alive(keepAlive && answer.status < 400);
    response_->prepare_payload();
    stream_.expires_after(server_->options_.timeout);
    http::async_write(stream_, *response_,
                      [self = shared_from_this()](const beast::error_code& ec, size_t) {
                        if (self->closed_) {
                          return;
                        }
                        if (ec || !self->response_->keep_alive()) {
                          self->Close();
                        } else {
                          self->Read();
                        }
                      });
  }

  beast::tcp_stream stream_;
  std::shared_ptr<Impl> server_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
  std::optional<http::response<http::string_body>> response_;
  bool closed_ = false;
};

void MetricsServer::Impl::Bind() {
  boost::system::error_code ec;
  tcp::resolver resolver(acceptor_.get_executor());
  const auto results =
      resolver.resolve(ResolverHost(options_.host), std::to_string(options_.port), ec);
  if (ec || results.empty()) {
    throw std::runtime_error(fmt::format("cannot resolve the metrics address {}:{}: {}",
                                         options_.host, options_.port, ec.message()));
  }
  const tcp::endpoint endpoint = *results.begin();
  acceptor_.open(endpoint.protocol(), ec);
  if (!ec) {
    acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
  }
  if (!ec) {
    acceptor_.bind(endpoint, ec);
  }
  if (!ec) {
    acceptor_.listen(boost::asio::socket_base::max_listen_connections, ec);
  }
  if (ec) {
    throw std::runtime_error(fmt::format("cannot listen for metrics on {}:{}: {}", options_.host,
                                         options_.port, ec.message()));
  }
  localPort_ = acceptor_.local_endpoint().port();
}

void MetricsServer::Impl::Accept() {
  acceptor_.async_accept(
      [self = shared_from_this()](const boost::system::error_code& ec, tcp::socket socket) {
        if (self->stopped_) {
          return;
        }
        if (!ec) {
          // Beyond the limit a connection is closed unanswered, with the socket.
          if (self->connections_.size() < self->options_.connections) {
            auto connection = std::make_shared<Connection>(std::move(socket), self);
            self->connections_.emplace(connection.get(), connection);
            connection->Read();
          }
          self->Accept();
        } else if (ec != boost::asio::error::operation_aborted) {
          // Out of descriptors, say: wait a little instead of spinning on it.
          self->retry_.expires_after(std::chrono::milliseconds(100));
          self->retry_.async_wait([self](const boost::system::error_code& waitEc) {
            if (!waitEc && !self->stopped_) {
              self->Accept();
            }
          });
        }
      });
}

void MetricsServer::Impl::Stop() {
  if (stopped_) {
    return;
  }
  stopped_ = true;
  boost::system::error_code ignored;
  acceptor_.close(ignored);
  retry_.cancel();
  auto connections = std::move(connections_);
  connections_.clear();
  for (auto& [raw, connection] : connections) {
    connection->Close();
  }
}

MetricsServer::MetricsServer(boost::asio::io_context& io, const MetricsServerOptions& options,
                             Logger& log, Render render)
    : impl_(std::make_shared<Impl>(io, options, log, std::move(render))) {
  impl_->Bind();
}

MetricsServer::~MetricsServer() {
  Stop();
}

void MetricsServer::Start() {
  impl_->Accept();
}

void MetricsServer::Stop() {
  impl_->Stop();
}

uint16_t MetricsServer::LocalPort() const {
  return impl_->LocalPort();
}

}  // namespace talvero
