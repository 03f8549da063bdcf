#pragma once

#include "hosts/command_line.hpp"

namespace talvero {

// TTalveroService: runs the receiver unattended on one event thread until
// SIGTERM or SIGINT. Gives the process's exit code.
int RunServiceHost(const CommandLine& line);

}  // namespace talvero
