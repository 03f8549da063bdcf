#include "platform/instance_lock.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using Result = InstanceLock::Result;

// Whether another process can take the lock now.
Result TakeInChild(const std::filesystem::path& file) {
  const pid_t child = fork();
  if (child == 0) {
    std::optional<InstanceLock> lock;
    std::string error;
    _exit(static_cast<int>(InstanceLock::Take(file, lock, error)));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<Result>(WEXITSTATUS(status));
}

TEST(InstanceLockTest, OneHolderAtATimeUntilItGoes) {
  testing::TempDir dir;
  const auto file = dir.path() / "console.lock";
  std::string error;
  {
    std::optional<InstanceLock> lock;
    ASSERT_EQ(InstanceLock::Take(file, lock, error), Result::Taken) << error;
    ASSERT_TRUE(lock);
    EXPECT_EQ(TakeInChild(file), Result::HeldElsewhere);
  }
  EXPECT_EQ(TakeInChild(file), Result::Taken);
}

TEST(InstanceLockTest, AFolderThatIsNotThereIsAFailureWithItsReason) {
  testing::TempDir dir;
  std::optional<InstanceLock> lock;
  std::string error;
  EXPECT_EQ(InstanceLock::Take(dir.path() / "missing" / "console.lock", lock, error),
            Result::Failed);
  EXPECT_FALSE(lock);
  EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace talvero
