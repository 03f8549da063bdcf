#include "platform/process_script_runner.hpp"

#include <fmt/format.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/asio.hpp"

extern char** environ;

namespace talvero {

class ProcessScriptRunner::Impl {
 public:
  Impl(boost::asio::io_context& io, std::chrono::seconds limit)
      : io_(io), limit_(limit), deadline_(io) {}

  ~Impl() {
    deadline_.cancel();
    if (waiter_.joinable()) {
      kill(-child_, SIGKILL);
      waiter_.join();
    }
  }

  bool Run(const std::filesystem::path& script, const std::vector<std::string>& args,
           std::function<void(ScriptOutcome)> done) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(script, error) || access(script.c_str(), R_OK) != 0) {
      return false;
    }
    if (waiter_.joinable()) {
      waiter_.join();  // the previous script has ended: its outcome was posted
    }
    std::vector<std::string> words{"bash", script.string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "bash", nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
      return false;
    }
    child_ = pid;
    timedOut_ = false;
    deadline_.expires_after(limit_);
    deadline_.async_wait([this, pid](const boost::system::error_code& ec) {
      if (!ec) {
        timedOut_ = true;
        kill(-pid, SIGKILL);
      }
    });
    waiter_ = std::thread([this, pid, done = std::move(done)]() mutable {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      boost::asio::post(io_, [this, status, done = std::move(done)] {
        deadline_.cancel();
        done(Outcome(status));
      });
    });
    return true;
  }

 private:
  ScriptOutcome Outcome(int status) const {
    if (timedOut_) {
      return {false, fmt::format("did not end within {} s and was stopped", limit_.count())};
    }
    if (WIFEXITED(status)) {
      const int code = WEXITSTATUS(status);
      return {code == 0, code == 0 ? "" : fmt::format("ended with exit code {}", code)};
    }
    if (WIFSIGNALED(status)) {
      return {false, fmt::format("was ended by signal {}", WTERMSIG(status))};
    }
    return {false, "ended in an unknown way"};
  }

  boost::asio::io_context& io_;
  const std::chrono::seconds limit_;
  boost::asio::steady_timer deadline_;
  std::thread waiter_;
  pid_t child_ = 0;
  bool timedOut_ = false;
};

ProcessScriptRunner::ProcessScriptRunner(boost::asio::io_context& io, std::chrono::seconds limit)
    : impl_(std::make_unique<Impl>(io, limit)) {}

ProcessScriptRunner::~ProcessScriptRunner() = default;

bool ProcessScriptRunner::Run(const std::filesystem::path& script,
                              const std::vector<std::string>& args,
                              std::function<void(ScriptOutcome)> done) {
  return impl_->Run(script, args, std::move(done));
}

}  // namespace talvero
