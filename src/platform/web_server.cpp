#include "platform/web_server.hpp"

#include <fmt/format.h>

#include <chrono>
#include <stdexcept>

#include "base/guard.hpp"
#include "platform/asio.hpp"
#include "platform/web_core.hpp"
#include "platform/web_files.hpp"
#include "platform/web_http_session.hpp"
#include "platform/web_token.hpp"

namespace talvero {
namespace {

using boost::asio::ip::tcp;

constexpr std::chrono::milliseconds kAcceptRetryDelay{100};

// "[::1]" names an IPv6 address in a URL; the resolver wants it bare.
std::string BareHost(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    return host.substr(1, host.size() - 2);
  }
  return host;
}

tcp::endpoint ResolveEndpoint(boost::asio::io_context& io, const WebServerOptions& options) {
  const std::string host = BareHost(options.host);
  boost::system::error_code ec;
  boost::asio::ip::address address = boost::asio::ip::make_address(host, ec);
  if (ec) {
    tcp::resolver resolver(io);
    const auto results = resolver.resolve(host, "", ec);
    if (ec || results.empty()) {
      throw std::runtime_error(
          fmt::format("the web UI address \"{}\" cannot be resolved", options.host));
    }
    address = results.begin()->endpoint().address();
  }
  if (address.is_unspecified()) {
    throw std::runtime_error(fmt::format(
        "the web UI needs one address of this machine, not \"{}\" for all", options.host));
  }
  return {address, options.port};
}

std::string AuthorityOf(const std::string& host, uint16_t port) {
  const bool bareIpv6 = host.find(':') != std::string::npos && host.front() != '[';
  return bareIpv6 ? fmt::format("[{}]:{}", host, port) : fmt::format("{}:{}", host, port);
}

}  // namespace

class WebServer::Impl final : public std::enable_shared_from_this<Impl> {
 public:
  Impl(boost::asio::io_context& io, const WebServerOptions& options, Logger& log)
      : acceptor_(io), retry_(io) {
    const tcp::endpoint endpoint = ResolveEndpoint(io, options);
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen();
    localPort_ = acceptor_.local_endpoint().port();
    core_ = std::make_shared<WebCore>(
        WebRequestHandler(WebAccess(AuthorityOf(options.host, localPort_), NewAccessToken()),
                          EmbeddedWebFiles()),
        log, options.limits);
  }

  WebCore& Core() { return *core_; }
  uint16_t LocalPort() const { return localPort_; }

  void Start() { Accept(); }

  void Stop() {
    if (stopped_) {
      return;
    }
    stopped_ = true;
    boost::system::error_code ignored;
    acceptor_.close(ignored);
    retry_.cancel();
    core_->Stop();
  }

 private:
  void Accept() {
    acceptor_.async_accept(
        [self = shared_from_this()](const boost::system::error_code& ec, tcp::socket socket) {
          self->OnAccept(ec, std::move(socket));
        });
  }

  void OnAccept(const boost::system::error_code& ec, tcp::socket socket) {
    if (stopped_) {
      return;
    }
    if (ec) {
      // Out of descriptors, say: try again shortly instead of spinning.
      ReportFailure(core_->Log(), "WebServer", ec.message());
      retry_.expires_after(kAcceptRetryDelay);
      retry_.async_wait([self = shared_from_this()](const boost::system::error_code& waitEc) {
        if (!waitEc && !self->stopped_) {
          self->Accept();
        }
      });
      return;
    }
    StartHttpSession(std::move(socket), core_);
    Accept();
  }

  tcp::acceptor acceptor_;
  boost::asio::steady_timer retry_;
  uint16_t localPort_ = 0;
  std::shared_ptr<WebCore> core_;
  bool stopped_ = false;
};

WebServer::WebServer(boost::asio::io_context& io, const WebServerOptions& options, Logger& log)
    : impl_(std::make_shared<Impl>(io, options, log)) {}

WebServer::~WebServer() {
  impl_->Stop();
}

void WebServer::SetChannelHandlers(WebChannelHandlers handlers) {
  impl_->Core().SetHandlers(std::move(handlers));
}

void WebServer::AddGetHandler(std::string path, WebGetHandler handler) {
  impl_->Core().Requests().AddGet(std::move(path), std::move(handler));
}

void WebServer::Start() {
  impl_->Start();
}

void WebServer::Stop() {
  impl_->Stop();
}

std::string WebServer::PageAddress() const {
  return fmt::format("http://{}/?token={}", Authority(), AccessToken());
}

std::string WebServer::Authority() const {
  return impl_->Core().Requests().Access().Authority();
}

const std::string& WebServer::AccessToken() const {
  return impl_->Core().Requests().Access().Token();
}

uint16_t WebServer::LocalPort() const {
  return impl_->LocalPort();
}

bool WebServer::Send(WebSessionId session, const nlohmann::json& message) {
  return impl_->Core().Send(session, message);
}

void WebServer::Broadcast(const nlohmann::json& message) {
  impl_->Core().Broadcast(message);
}

size_t WebServer::SessionCount() const {
  return impl_->Core().SessionCount();
}

}  // namespace talvero
