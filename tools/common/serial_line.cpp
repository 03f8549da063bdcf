#include "common/serial_line.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>
#include <utility>

namespace talvero {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 50:
      return B50;
    case 75:
      return B75;
    case 110:
      return B110;
    case 134:
      return B134;
    case 150:
      return B150;
    case 200:
      return B200;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 1800:
      return B1800;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      errno = EINVAL;
      Fail("no serial speed of " + std::to_string(baud) + " baud");
  }
}

// Raw 8N1 without flow control: every byte passes unchanged both ways.
void MakeRaw(int fd, int baud, const std::string& path) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) {
    Fail(path + " is no serial line");
  }
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOf(baud);
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  if (tcsetattr(fd, TCSANOW, &tio) != 0) {
    Fail("cannot set up " + path);
  }
}

void PlaceLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      errno = EEXIST;
      Fail(link + " exists and is no symbolic link");
    }
    if (unlink(link.c_str()) != 0) {
      Fail("cannot replace " + link);
    }
  }
  if (symlink(target.c_str(), link.c_str()) != 0) {
    Fail("cannot create the link " + link);
  }
}

}  // namespace

SerialLine SerialLine::OpenDevice(const std::string& path, int baud) {
  SerialLine line;
  line.path_ = path;
  line.fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (line.fd_ < 0) {
    Fail("cannot open " + path);
  }
  MakeRaw(line.fd_, baud, path);
  // Adapters without modem lines refuse this; the line works all the same.
  int modemLines = TIOCM_DTR | TIOCM_RTS;
  (void)ioctl(line.fd_, TIOCMBIS, &modemLines);
  return line;
}

SerialLine SerialLine::CreatePty(const std::optional<std::string>& link) {
  SerialLine line;
  line.fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (line.fd_ < 0) {
    Fail("cannot create a pseudo-terminal");
  }
  std::array<char, 128> name{};
  if (grantpt(line.fd_) != 0 || unlockpt(line.fd_) != 0 ||
      ptsname_r(line.fd_, name.data(), name.size()) != 0) {
    Fail("cannot set up the pseudo-terminal");
  }
  line.path_ = name.data();
  line.slaveFd_ = open(line.path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (line.slaveFd_ < 0) {
    Fail("cannot open " + line.path_);
  }
  // Raw from the start: nothing the station writes is echoed back before the
  // receiver opens its side.
  MakeRaw(line.slaveFd_, 9600, line.path_);
  if (link) {
    PlaceLink(*link, line.path_);
    line.link_ = link;
  }
  return line;
}

SerialLine::SerialLine(SerialLine&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      slaveFd_(std::exchange(other.slaveFd_, -1)),
      path_(std::move(other.path_)),
      link_(std::exchange(other.link_, std::nullopt)) {}

SerialLine::~SerialLine() {
  if (link_) {
    std::array<char, 256> target{};
    const ssize_t n = readlink(link_->c_str(), target.data(), target.size() - 1);
    if (n > 0 && std::string(target.data(), static_cast<size_t>(n)) == path_) {
      unlink(link_->c_str());
    }
  }
  if (slaveFd_ >= 0) {
    close(slaveFd_);
  }
  if (fd_ >= 0) {
    close(fd_);
  }
}

int SerialLine::ReleaseFd() {
  return std::exchange(fd_, -1);
}

}  // namespace talvero
