#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace talvero {

// Tells a log channel, without a system call, that something may have
// happened to a file it keeps open or to a folder on the file's path.
//
//   unlink / rename / rmdir / chmod of a watched file, folder or link
//     --inotify--> SIGIO --handler--> drains the queue, counts one change
//   TLog: same count as when it last looked -> its file is still the one at its path
//
// The kernel raises the signal inside the system call that makes the change.
// A change the main thread makes itself is counted before that call returns;
// one made by another process or thread is counted within microseconds, about
// as soon as a line that opened the path anew would have seen it.
class LogFileWatch {
 public:
  // The one watch of the process; nullptr when it cannot be had (no inotify,
  // or SIGIO already taken by other code), and callers look at the path for
  // every line instead.
  static LogFileWatch* Instance();

  // Watches the file at path, every folder on the way to it and every
  // symbolic link among them. False when a watch cannot be placed.
  bool Watch(const std::string& path);
  // Changes counted so far; a count that moved means: look at the path again.
  uint64_t Changes() const { return changes_.load(std::memory_order_acquire); }

 private:
  explicit LogFileWatch(int fd) : fd_(fd) {}
  static LogFileWatch* Create();
  static void OnSignal(int);

  const int fd_;
  static std::atomic<uint64_t> changes_;
};

}  // namespace talvero
