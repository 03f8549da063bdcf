#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/unit_socket.hpp"

namespace talvero::e2e {

// The service host's "All msg" log below home, its daily files one after the other.
std::string ServiceAllMsgLog(const std::filesystem::path& home);
// Both transports are up once the UDP server's line is in that log.
bool ServiceListensOnBoth(const std::filesystem::path& home, uint16_t port);

using testing::FreePort;
using testing::UnitSocket;

using namespace std::chrono_literals;

// Polls until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// The real talvero executable (or another program), started with arguments,
// stopped with SIGTERM.
class Receiver {
 public:
  Receiver(const std::vector<std::string>& args, const std::filesystem::path& stderrFile,
           const std::vector<std::string>& extraEnv = {});
  // Another program of the build (talvero-station), its output to outputFile.
  Receiver(const std::filesystem::path& executable, const std::vector<std::string>& args,
           const std::filesystem::path& outputFile, const std::vector<std::string>& extraEnv = {});
  ~Receiver();
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  void Signal(int signal);
  // The exit status once the process has ended within the timeout.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// The monitoring software's end of the serial cable: a pseudo-terminal whose
// slave side is linked into a device folder under a port name.
class StationPty {
 public:
  StationPty(const std::filesystem::path& devDir, const std::string& portName);
  ~StationPty();
  StationPty(const StationPty&) = delete;
  StationPty& operator=(const StationPty&) = delete;

  // Everything that arrives until the text holds `until` or the time is up.
  std::string ReadUntil(const std::string& until,
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
  // What arrives within the given time.
  std::string ReadFor(std::chrono::milliseconds span);
  void Write(const std::string& bytes);
  // Closes the spare slave handle once the receiver holds the device open.
  void ReleaseSlave();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string pending_;
};

}  // namespace talvero::e2e
