#include "support/fake_serial_port.hpp"

#include <stdexcept>

namespace talvero::testing {

bool FakeSerialPort::Open(const std::string& name) {
  opened.push_back(name);
  if (throwOnOpen) {
    throw std::runtime_error("device busy");
  }
  Close();
  if (opensLater) {
    trying_ = name;
    return false;
  }
  if (failAll || (!openable.empty() && openable.count(name) == 0)) {
    return false;
  }
  open_ = true;
  name_ = name;
  return true;
}

void FakeSerialPort::Close() {
  open_ = false;
  name_.clear();
}

void FakeSerialPort::Write(std::string_view bytes) {
  writes.emplace_back(bytes);
  writtenTo.push_back(name_);
}

void FakeSerialPort::Lose() {
  const std::string name = name_;
  Close();
  if (lossHandler_) {
    lossHandler_(name);
  }
}

void FakeSerialPort::FinishOpen(bool success) {
  if (!success) {
    Lose();
    return;
  }
  open_ = true;
  name_ = trying_;
  if (openHandler_) {
    openHandler_();
  }
}

SerialPort::LogNames FakeSerialPort::NamesFor(const std::string& name) const {
  if (outputName.empty()) {
    return SerialPort::NamesFor(name);
  }
  return {"Output " + outputName, "OUTPUT " + outputName};
}

void FakeSerialPort::Deliver(std::string_view chunk) {
  if (!handler_) {
    throw std::logic_error("FakeSerialPort: no chunk handler set");
  }
  handler_(chunk);
}

}  // namespace talvero::testing
