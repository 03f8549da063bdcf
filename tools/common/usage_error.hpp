#pragma once

#include <stdexcept>

namespace talvero {

// A command line the tool refuses; the tool prints it with its usage text and
// exits with code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace talvero
