#pragma once

#include "hosts/command_line.hpp"

namespace talvero {

// talvero --monitor: the desktop host, its window a page served on --ui.
// Returns the exit code: 0 after a close, 1 after a failed start-up.
int RunMonitorHost(const CommandLine& line);

}  // namespace talvero
