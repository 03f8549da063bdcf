#pragma once

namespace talvero {

// Program entry: picks the run mode from the command line and runs it.
int RunProgram(int argc, char** argv);

}  // namespace talvero
