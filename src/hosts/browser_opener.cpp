#include "hosts/browser_opener.hpp"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>

extern char** environ;

namespace talvero {

void OpenInBrowser(const std::string& address) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    return;
  }
  // The shell leaves xdg-open running in the background and ends at once, so
  // nothing is left to wait for.
  const char* script = "xdg-open \"$1\" >/dev/null 2>&1 &";
  char* const argv[] = {const_cast<char*>("sh"),
                        const_cast<char*>("-c"),
                        const_cast<char*>(script),
                        const_cast<char*>("sh"),
                        const_cast<char*>(address.c_str()),
                        nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
  }
}

}  // namespace talvero
