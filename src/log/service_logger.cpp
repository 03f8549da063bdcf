#include "log/service_logger.hpp"

#include <exception>

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
  errors_.Add(fmt::format("ERR in {}, Error Msg: {}.", procName, failure));
}

}  // namespace talvero
