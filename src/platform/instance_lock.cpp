#include "platform/instance_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace talvero {

InstanceLock::Result InstanceLock::Take(const std::filesystem::path& file,
                                        std::optional<InstanceLock>& lock, std::string& error) {
  const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = std::strerror(errno);
    return Result::Failed;
  }
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) {
      continue;
    }
    const int cause = errno;
    close(fd);
    if (cause == EWOULDBLOCK) {
      return Result::HeldElsewhere;
    }
    error = std::strerror(cause);
    return Result::Failed;
  }
  lock.emplace(InstanceLock(fd));
  return Result::Taken;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) {
    close(fd_);
  }
}

}  // namespace talvero
