#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "base/logger.hpp"
#include "engine/settings.hpp"
#include "platform/frame_delivery.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

class TcpListener;
class UdpServer;

// The TCP listener and the UDP server on the port TcpUdpSrvPort, on the host's
// event loop. Every received frame goes to the frame handler with its route,
// while engineLock (the engine's EngineLock) is held.
//
// All members, and Send on the routes handed out, run on the event thread.
// The logger, the lock and the settings belong to the engine and must outlive
// this object.
class NetworkTransports {
 public:
  using FrameHandler = FrameDelivery::FrameHandler;

  NetworkTransports(boost::asio::io_context& io, Logger& log, std::mutex& engineLock,
                    const Settings& settings);
  ~NetworkTransports();
  NetworkTransports(const NetworkTransports&) = delete;
  NetworkTransports& operator=(const NetworkTransports&) = delete;

  void SetFrameHandler(FrameHandler handler) { delivery_.SetHandler(std::move(handler)); }
  // Runs before any answer leaves a socket (FrameDelivery::SetBeforeAnswers).
  void SetBeforeAnswers(std::function<void()> beforeAnswers) {
    delivery_.SetBeforeAnswers(std::move(beforeAnswers));
  }
  // FrameDelivery::SetEarlyAnswers.
  void SetEarlyAnswers(std::function<bool()> allowed) {
    delivery_.SetEarlyAnswers(std::move(allowed));
  }
  // Whether the engine's start-up has completed; until then only a forced
  // ActivateSrvPort acts.
  void SetStarted(bool started) { started_ = started; }
  bool Started() const { return started_; }

  // Starts, or restarts, both transports on TcpUdpSrvPort: every open
  // connection is closed and the UDP server replaced.
  void ActivateSrvPort(bool force);
  // Closes the listener, every connection (each with its disconnect line) and
  // the UDP server.
  void Stop();
  // As Stop, without the disconnect lines: the program ends, and its sockets
  // go with it as with the process.
  void Release();

 private:
  boost::asio::io_context& io_;
  Logger& log_;
  const Settings& settings_;
  FrameDelivery delivery_;
  bool started_ = false;
  std::shared_ptr<TcpListener> listener_;
  std::shared_ptr<UdpServer> udpServer_;
};

}  // namespace talvero
