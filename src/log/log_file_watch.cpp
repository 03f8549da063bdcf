#include "log/log_file_watch.hpp"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace talvero {
namespace {

// What makes a path lead elsewhere: the thing itself moved or removed, or its
// link count changed (unlinked, or replaced by a rename over it).
constexpr uint32_t kChangeMask = IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

// The inotify descriptor, for the handler.
std::atomic<int> signalFd{-1};

// Installs the handler, unless other code handles or ignores SIGIO already.
bool TakeSignal(void (*handler)(int)) {
  struct sigaction current {};
  if (::sigaction(SIGIO, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
      current.sa_handler != SIG_DFL) {
    return false;
  }
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  return ::sigaction(SIGIO, &action, nullptr) == 0;
}

}  // namespace

std::atomic<uint64_t> LogFileWatch::changes_{0};

LogFileWatch* LogFileWatch::Instance() {
  static LogFileWatch* const watch = Create();
  return watch;
}

LogFileWatch* LogFileWatch::Create() {
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  signalFd.store(fd, std::memory_order_release);
  const f_owner_ex owner{F_OWNER_PID, ::getpid()};
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || !TakeSignal(&LogFileWatch::OnSignal) || ::fcntl(fd, F_SETOWN_EX, &owner) != 0 ||
      ::fcntl(fd, F_SETFL, flags | O_ASYNC) != 0) {
    signalFd.store(-1, std::memory_order_release);
    ::close(fd);
    return nullptr;
  }
  // Never destroyed: the handler may run until the process ends.
  return new LogFileWatch(fd);
}

void LogFileWatch::OnSignal(int) {
  const int savedErrno = errno;
  // Draining keeps the next change from merging into an unread one, which
  // the kernel would not signal again.
  const int fd = signalFd.load(std::memory_order_acquire);
  alignas(inotify_event) std::array<char, 4096> events;
  while (fd >= 0 && ::read(fd, events.data(), events.size()) > 0) {
  }
  changes_.fetch_add(1, std::memory_order_acq_rel);
  errno = savedErrno;
}

bool LogFileWatch::Watch(const std::string& path) {
  // A symbolic link is watched itself and through, so pointing it elsewhere
  // counts as a change too.
  bool placed = true;
  const auto watch = [&](const std::string& prefix) {
    placed = ::inotify_add_watch(fd_, prefix.c_str(), kChangeMask | IN_DONT_FOLLOW) >= 0 &&
             ::inotify_add_watch(fd_, prefix.c_str(), kChangeMask) >= 0 && placed;
  };
  // Every folder on the way: each prefix that ends before a separator.
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (path[slash - 1] != '/') {
      watch(path.substr(0, slash));
    }
  }
  watch(path);
  return placed;
}

}  // namespace talvero
