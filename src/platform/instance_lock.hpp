#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace talvero {

// An exclusive lock on a file, held until the object goes or the process ends
// (the kernel releases it then, also after a crash).
class InstanceLock {
 public:
  enum class Result { Taken, HeldElsewhere, Failed };

  // Creates the file when missing. HeldElsewhere when another process holds
  // it; Failed (with the reason in error) when the file cannot be had.
  static Result Take(const std::filesystem::path& file, std::optional<InstanceLock>& lock,
                     std::string& error);

  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&&) = delete;
  ~InstanceLock();

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace talvero
