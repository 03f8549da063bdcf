#pragma once

#include <optional>
#include <string>

namespace talvero {

// The speed a serial device is opened at unless another is asked for.
inline constexpr int kDefaultBaud = 9600;

// True for the speeds a serial device can be set to.
bool IsDeviceBaud(int baud);

// The station's end of a serial line: a serial device, or the master side of
// a new pseudo-terminal whose other side the receiver opens. For a
// pseudo-terminal the slave side is held open too, so the master never reads
// EIO while the receiver has it closed (before it starts, between restarts).
class SerialLine {
 public:
  // Opens the device raw, 8N1, no flow control, at baud; raises DTR and RTS
  // where the device has them. Throws std::system_error.
  static SerialLine OpenDevice(const std::string& path, int baud);
  // Creates a raw pseudo-terminal; with link, a symbolic link to it there (an
  // existing symbolic link is replaced, anything else refused). Throws
  // std::system_error.
  static SerialLine CreatePty(const std::optional<std::string>& link);

  SerialLine(SerialLine&& other) noexcept;
  SerialLine& operator=(SerialLine&&) = delete;
  SerialLine(const SerialLine&) = delete;
  ~SerialLine();

  // The descriptor to read and write; the caller owns it afterwards.
  int ReleaseFd();
  // The device, or the path of the pseudo-terminal's slave side.
  const std::string& Path() const { return path_; }
  const std::optional<std::string>& Link() const { return link_; }

 private:
  SerialLine() = default;

  int fd_ = -1;
  int slaveFd_ = -1;
  std::string path_;
  std::optional<std::string> link_;  // removed at the end while it still points here
};

}  // namespace talvero
