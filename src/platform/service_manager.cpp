#include "platform/service_manager.hpp"

#include <fcntl.h>
#include <fmt/format.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace talvero {
namespace {

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

bool SystemdManager::IsRunning() {
  return sd_booted() > 0;
}

std::string SystemdManager::Systemctl(const std::vector<std::string>& args) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    return fmt::format("cannot run systemctl: {}", std::strerror(errno));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  std::vector<std::string> argStrings{"systemctl"};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStrings) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawnError = posix_spawnp(&pid, "systemctl", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::string errorText;
  if (spawnError == 0) {
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
      if (n > 0) {
        errorText.append(buffer, static_cast<size_t>(n));
      }
    }
  }
  close(pipeFds[0]);
  if (spawnError != 0) {
    return fmt::format("cannot run systemctl: {}", std::strerror(spawnError));
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    return {};
  }
  errorText = Trimmed(std::move(errorText));
  return errorText.empty() ? fmt::format("systemctl {} failed", args.empty() ? "" : args[0])
                           : errorText;
}

}  // namespace talvero
