#pragma once

#include <sys/types.h>

#include <string>

#include "support/temp_dir.hpp"

namespace talvero::testing {

// A dbus-daemon of the test's own, open to everyone on a socket in a temporary
// folder; killed with the object, and with the test program should it crash.
class PrivateDbus {
 public:
  // Throws std::runtime_error when the daemon does not start.
  PrivateDbus();
  ~PrivateDbus();
  PrivateDbus(const PrivateDbus&) = delete;
  PrivateDbus& operator=(const PrivateDbus&) = delete;

  const std::string& address() const { return address_; }
  // Ends the daemon at once, as a crash would.
  void Kill();
  // Freezes the daemon: it keeps its connections and answers nothing.
  void Pause();

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  std::string address_;
};

}  // namespace talvero::testing
