#include "support/fake_serial_port.hpp"

#include <stdexcept>

namespace talvero::testing {

bool FakeSerialPort::Open(const std::string& name) {
  opened.push_back(name);
  if (throwOnOpen) {
    throw std::runtime_error("device busy");
  }
  Close();
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

void FakeSerialPort::Deliver(std::string_view chunk) {
  if (!handler_) {
    throw std::logic_error("FakeSerialPort: no chunk handler set");
  }
  handler_(chunk);
}

}  // namespace talvero::testing
