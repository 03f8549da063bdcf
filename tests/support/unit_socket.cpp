#include "support/unit_socket.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <stdexcept>

namespace talvero::testing {
namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

bool Readable(int fd, std::chrono::milliseconds timeout) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

bool BindsOn(int type, uint16_t port) {
  const int fd = socket(AF_INET, type, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(port);
  const bool free = bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
  close(fd);
  return free;
}

}  // namespace

uint16_t FreePort() {
  // Test programs run side by side: a port the kernel hands out to one of them
  // is free again for the next a moment later, so each draws its own at random.
  static std::mt19937 draw(std::random_device{}() ^ static_cast<unsigned>(getpid()));
  std::uniform_int_distribution<int> ports(20000, 59999);
  for (int attempt = 0; attempt < 200; ++attempt) {
    const auto port = static_cast<uint16_t>(ports(draw));
    if (BindsOn(SOCK_STREAM, port) && BindsOn(SOCK_DGRAM, port)) {
      return port;
    }
  }
  throw std::runtime_error("no free port");
}

UnitSocket::UnitSocket(Kind kind, uint16_t port) {
  fd_ = socket(AF_INET, kind == Kind::Tcp ? SOCK_STREAM : SOCK_DGRAM, 0);
  const sockaddr_in addr = Loopback(port);
  if (connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

UnitSocket::~UnitSocket() {
  if (fd_ >= 0) {
    close(fd_);
  }
}

void UnitSocket::Send(const std::string& frame) {
  if (send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size())) {
    throw std::runtime_error("cannot send the frame");
  }
}

std::optional<std::string> UnitSocket::Receive(std::chrono::milliseconds timeout) {
  if (fd_ < 0 || !Readable(fd_, timeout)) {
    return std::nullopt;
  }
  char buffer[8192];
  const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
  if (n <= 0) {
    return std::nullopt;
  }
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace talvero::testing
