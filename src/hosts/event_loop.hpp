#pragma once

#include <string_view>

#include "base/logger.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

// Runs the loop until it is stopped; a failure that reaches this far is
// reported under procName and the loop goes on, so one bad event never ends
// the host. Without a log the failure goes to standard error.
void RunEventLoop(boost::asio::io_context& io, Logger* log, std::string_view procName);

}  // namespace talvero
