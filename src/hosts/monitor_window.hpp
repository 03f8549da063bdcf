#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/clock.hpp"
#include "base/timer.hpp"
#include "hosts/command_line.hpp"
#include "hosts/monitor_state.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

class Logger;
class MetricsServer;
class MonitorHub;
class PageOutlet;
class ReceiverEngine;
class WebServer;

// The desktop monitor on a web server that already listens: the engine, its
// start-up and the hub its pages talk to. Its own host (--monitor) and the
// console's Run Application both show it.
class MonitorWindow {
 public:
  // closed runs once the monitor is over: after the operator confirmed
  // closing, after Close, or after the box of a failed start-up.
  MonitorWindow(boost::asio::io_context& io, const Clock& clock, TimerFactory& timers,
                WebServer& web, const CommandLine& line, std::function<void()> closed);
  ~MonitorWindow();
  MonitorWindow(const MonitorWindow&) = delete;
  MonitorWindow& operator=(const MonitorWindow&) = delete;

  // The start-up; every page's channel goes to the monitor from now on. A
  // failure is printed and shown on the pages until one says OK (or a minute
  // has passed with nobody there to read it). Returns whether it started.
  bool Start();
  // Stops the engine and tells the pages "The monitor has closed.".
  void Close();
  // The engine's logs, once it exists.
  Logger* Log();

 private:
  void ShowFailure(const std::string& text);
  void Finish();

  boost::asio::io_context& io_;
  const Clock& clock_;
  TimerFactory& timers_;
  WebServer& web_;
  const CommandLine& line_;
  std::function<void()> closed_;
  MonitorState state_;
  std::unique_ptr<ReceiverEngine> engine_;
  // It reads the engine: it goes first.
  std::unique_ptr<MetricsServer> metrics_;
  std::unique_ptr<PageOutlet> outlet_;
  std::unique_ptr<MonitorHub> hub_;
  std::unique_ptr<Timer> failureShown_;
  bool over_ = false;
};

// Serves the help files at /help/EN and /help/RU (a download: no browser shows them).
void ServeHelpFiles(WebServer& web);

}  // namespace talvero
