#include "platform/network_transports.hpp"

#include <fmt/format.h>

#include "base/guard.hpp"
#include "platform/tcp_listener.hpp"
#include "platform/udp_server.hpp"

namespace talvero {

NetworkTransports::NetworkTransports(boost::asio::io_context& io, Logger& log,
                                     std::mutex& engineLock, const Settings& settings)
    : io_(io), log_(log), settings_(settings), delivery_(log, engineLock) {}

NetworkTransports::~NetworkTransports() {
  Release();
}

void NetworkTransports::ActivateSrvPort(bool force) {
  if (!force && !started_) {
    return;
  }
  Guarded(log_, "DoActivateTCP/UDPSrvPort", [&] {
    const uint16_t port = settings_.TcpUdpSrvPort;
    if (listener_) {
      listener_->Close();
      listener_.reset();
    }
    auto listener = std::make_shared<TcpListener>(io_, port, delivery_);
    listener->Start();
    listener_ = std::move(listener);
    Guarded(log_, "ServerSocket1Listen", [&] {
      log_.LogAllMsg(fmt::format("Server Listen TCP Port {}", listener_->LocalPort()));
    });

    if (udpServer_) {
      udpServer_->Close();
      udpServer_.reset();
    }
    auto udpServer = std::make_shared<UdpServer>(io_, port, delivery_);
    udpServer->Start();
    udpServer_ = std::move(udpServer);
    log_.LogAllMsg(fmt::format("Server Listen UDP Port {}", udpServer_->LocalPort()));
  });
}

void NetworkTransports::Stop() {
  if (listener_) {
    listener_->Close();
    listener_.reset();
  }
  Release();
}

void NetworkTransports::Release() {
  if (listener_) {
    listener_->Release();
    listener_.reset();
  }
  if (udpServer_) {
    udpServer_->Close();
    udpServer_.reset();
  }
}

}  // namespace talvero
