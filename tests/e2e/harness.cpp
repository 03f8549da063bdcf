#include "e2e/harness.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>
#include <utility>

#include "support/file_bytes.hpp"

extern char** environ;

namespace talvero::e2e {
namespace {

bool Readable(int fd, std::chrono::milliseconds timeout) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

Receiver::Receiver(const std::vector<std::string>& args, const std::filesystem::path& stderrFile,
                   const std::vector<std::string>& extraEnv)
    : Receiver(TALVERO_EXE, args, stderrFile, extraEnv) {}

Receiver::Receiver(const std::filesystem::path& executable, const std::vector<std::string>& args,
                   const std::filesystem::path& stderrFile,
                   const std::vector<std::string>& extraEnv) {
  std::vector<std::string> argStrings{executable.string()};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStrings) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);

  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    envStrings.emplace_back(*e);
  }
  envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (auto& e : envStrings) {
    envp.push_back(e.data());
  }
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stderrFile.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrFile.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);
  const int error =
      posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    throw std::runtime_error("cannot start " + executable.string());
  }
}

Receiver::~Receiver() {
  if (!status_) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
}

void Receiver::Signal(int signal) {
  kill(pid_, signal);
}

std::optional<int> Receiver::WaitExit(std::chrono::milliseconds timeout) {
  WaitUntil(
      [&] {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
          status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return status_.has_value();
      },
      timeout);
  return status_;
}

StationPty::StationPty(const std::filesystem::path& devDir, const std::string& portName) {
  // Neither side may be inherited by the receiver: a hang-up must be one.
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    throw std::runtime_error("cannot open a pseudo-terminal");
  }
  const char* slaveName = ptsname(master_);
  // Raw mode on the slave, so the line discipline passes every byte unchanged.
  slave_ = open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  tcgetattr(slave_, &tio);
  cfmakeraw(&tio);
  tcsetattr(slave_, TCSANOW, &tio);
  std::filesystem::create_directories(devDir);
  std::filesystem::create_symlink(slaveName, devDir / portName);
}

StationPty::~StationPty() {
  if (slave_ >= 0) {
    close(slave_);
  }
  close(master_);
}

void StationPty::ReleaseSlave() {
  if (slave_ >= 0) {
    close(slave_);
    slave_ = -1;
  }
}

std::string StationPty::ReadUntil(const std::string& until, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (pending_.find(until) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !Readable(master_, left)) {
      break;
    }
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    pending_.append(buffer, static_cast<size_t>(n));
  }
  const auto at = pending_.find(until);
  const size_t take = at == std::string::npos ? pending_.size() : at + until.size();
  std::string taken = pending_.substr(0, take);
  pending_.erase(0, take);
  return taken;
}

std::string StationPty::ReadFor(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      break;
    }
    if (Readable(master_, left)) {
      char buffer[4096];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n > 0) {
        pending_.append(buffer, static_cast<size_t>(n));
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
  }
  return std::exchange(pending_, {});
}

void StationPty::Write(const std::string& bytes) {
  if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("cannot write to the pseudo-terminal");
  }
}

std::string ServiceAllMsgLog(const std::filesystem::path& home) {
  std::string text;
  const auto folder = home / "Log_Service" / "All msg";
  if (std::filesystem::exists(folder)) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      text += testing::ReadFile(entry.path());
    }
  }
  return text;
}

bool ServiceListensOnBoth(const std::filesystem::path& home, uint16_t port) {
  return ServiceAllMsgLog(home).find("Server Listen UDP Port " + std::to_string(port)) !=
         std::string::npos;
}

}  // namespace talvero::e2e
