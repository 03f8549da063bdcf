#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/logger.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

struct MetricsServerOptions {
  std::string host = "127.0.0.1";  // an address or a name of this machine
  uint16_t port = 0;               // 0: any free port (tests)
  size_t connections = 16;         // more are closed at once
  size_t headerBytes = 8 * 1024;
  // A request must be complete, and its answer taken, this long after the
  // connection (or the previous answer) is ready for it.
  std::chrono::milliseconds timeout{10'000};
};

// A small HTTP/1.1 server for Prometheus: GET /metrics answers render's text
// (see AnswerMetricsRequest). Runs on the host's event thread, so render may
// read the receiver's state as it is; a failure of render is reported with
// LogErr under "Metrics" and answered 500.
class MetricsServer {
 public:
  using Render = std::function<std::string()>;

  // Binds HOST:PORT; throws std::runtime_error when that cannot be had.
  MetricsServer(boost::asio::io_context& io, const MetricsServerOptions& options, Logger& log,
                Render render);
  ~MetricsServer();
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  void Start();
  // Closes the listener and every connection.
  void Stop();
  uint16_t LocalPort() const;

 private:
  class Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace talvero
