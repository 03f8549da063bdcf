#pragma once

#include <chrono>

#include "platform/asio.hpp"

namespace talvero::testing {

// Runs the loop until done() holds or the limit passes; tells whether it held.
// The limit only bounds a failing test.
template <class Done>
bool RunUntil(boost::asio::io_context& io, Done done,
              std::chrono::milliseconds limit = std::chrono::milliseconds(2000)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    io.restart();
    io.run_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Runs the loop for a span, for waits where nothing is expected to happen.
inline void RunFor(boost::asio::io_context& io, std::chrono::milliseconds span) {
  const auto deadline = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < deadline) {
    io.restart();
    io.run_until(deadline);
  }
}

}  // namespace talvero::testing
