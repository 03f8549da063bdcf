#include "log/service_logger.hpp"

#include <cstdio>
#include <exception>
#include <string>

#include <fmt/format.h>

namespace talvero {

ServiceLogger::ServiceLogger(const Clock& clock) : HostLogger(clock, "Log_Service", nullptr) {}

void ServiceLogger::LogAllMsg(std::string_view message) {
  try {
    allMsg_.Add(message);
  } catch (const std::exception& e) {
    errors_.Add(e.what());
  }
}

void ServiceLogger::LogImpMsg(std::string_view message) {
  impMsg_.Add(message);
  LogAllMsg(message);
}

void ServiceLogger::DeferWrites(std::function<void()> request) {
  allMsg_.DeferWrites(std::move(request));
}

void ServiceLogger::FlushWrites() {
  try {
    allMsg_.Flush();
  } catch (const std::exception& e) {
    errors_.Add(e.what());
  }
}

void ServiceLogger::LogErr(std::string_view procName, std::string_view failure) {
  std::string report = fmt::format("ERR in {}, Error Msg: {}.", procName, failure);
  try {
    errors_.Add(report);
    lastOnStandardError_.clear();
  } catch (const std::exception& e) {
    // Standard error reaches the system's journal under systemd: the last
    // place left for a report. A run of the same report is told once, not at
    // every turn of the loop.
    if (report != lastOnStandardError_) {
      std::fprintf(stderr, "%s (not in the \"Errors\" log: %s)\n", report.c_str(), e.what());
      lastOnStandardError_ = std::move(report);
    }
    throw;
  }
}

}  // namespace talvero
