#pragma once

#include "hosts/command_line.hpp"

namespace talvero {

// talvero without a mode: the service console, its window a page served on
// --ui. One console per home folder. Returns the exit code.
int RunConsoleHost(const CommandLine& line);

}  // namespace talvero
