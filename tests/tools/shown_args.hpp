#pragma once

#include <string>
#include <vector>

namespace talvero::testing {

// A command line with each argument in brackets, so a failing case shows where
// one argument ends.
inline std::string ShownArgs(const std::vector<std::string>& args) {
  std::string shown;
  for (const std::string& a : args) {
    shown += "[" + a + "]";
  }
  return shown;
}

}  // namespace talvero::testing
