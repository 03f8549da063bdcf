#include "log/desktop_logger.hpp"

#include <exception>
#include <string>

#include <fmt/format.h>

namespace talvero {
namespace {

std::string ErrReport(std::string_view procName, std::string_view failure) {
  return fmt::format("ERR in {}, Error Msg: {}", procName, failure);
}

}  // namespace

DesktopLogger::DesktopLogger(const Clock& clock, HostObserver& observer)
    : HostLogger(clock, "Log", &observer), observer_(observer) {}

void DesktopLogger::LogAllMsg(std::string_view message) {
  try {
    if (writer_ && writer_->AddLine(message)) {
      return;
    }
    const std::string failure = ReleaseWriter();
    writer_ = std::make_unique<TStringParserThread>(allMsg_, corvane_, message);
    if (!failure.empty()) {
      errors_.Add(failure);
    }
  } catch (const std::exception& e) {
    errors_.Add(e.what());
  }
}

void DesktopLogger::LogImpMsg(std::string_view message) {
  PlaySound(2);
  impMsg_.Add(message);
  LogAllMsg(message);
}

void DesktopLogger::LogErr(std::string_view procName, std::string_view failure) {
  PlaySound(3);
  errors_.Add(ErrReport(procName, failure));
}

void DesktopLogger::StopWriter() {
  const std::string failure = ReleaseWriter();
  if (!failure.empty()) {
    errors_.Add(failure);
  }
}

std::string DesktopLogger::ReleaseWriter() {
  if (!writer_) {
    return {};
  }
  writer_->Stop();
  std::string failure = writer_->Failure();
  writer_.reset();
  return failure;
}

void DesktopLogger::PlaySound(int index) {
  try {
    observer_.PlaySnd(index);
  } catch (const std::exception& e) {
    errors_.Add(ErrReport("PS", e.what()));
  }
}

}  // namespace talvero
