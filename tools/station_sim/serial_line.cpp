#include "station_sim/serial_line.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>
#include <utility>

namespace talvero {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

struct DeviceSpeed {
  int baud;
  speed_t speed;
};

constexpr std::array<DeviceSpeed, 18> kDeviceSpeeds = {{
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
}};

const DeviceSpeed* FindSpeed(int baud) {
  const auto found = std::find_if(kDeviceSpeeds.begin(), kDeviceSpeeds.end(),
                                  [baud](const DeviceSpeed& s) { return s.baud == baud; });
  return found == kDeviceSpeeds.end() ? nullptr : &*found;
}

speed_t SpeedOf(int baud) {
  const DeviceSpeed* found = FindSpeed(baud);
  if (!found) {
    errno = EINVAL;
    Fail("no serial speed of " + std::to_string(baud) + " baud");
  }
  return found->speed;
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

bool IsDeviceBaud(int baud) {
  return FindSpeed(baud) != nullptr;
}

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
  MakeRaw(line.slaveFd_, kDefaultBaud, line.path_);
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
