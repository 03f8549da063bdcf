#pragma once

#include <string>
#include <string_view>

namespace talvero {

// The folder that stands for the program's folder: the logs, the database and
// the settings file live there. Always ends in a path separator. Until
// SetExeFolder is called it is the folder of the running executable.
std::string ExeFolder();

// Set once at program start from the --home option. A relative path is made
// absolute at once, so a later change of the working folder moves nothing.
void SetExeFolder(std::string_view path);

}  // namespace talvero
