#include "log/watch_dog.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using std::chrono::milliseconds;
using testing::At;
using testing::VirtualTime;

class WatchDogTest : public ::testing::Test {
 protected:
  WatchDogTest() {
    dog->OnTimeout = [this](const std::string& key) {
      fired.push_back({key, time.Now().ms - start});
    };
  }

  VirtualTime time{At(2024, 3, 7, 9, 0, 0)};
  const int64_t start = time.Now().ms;
  std::unique_ptr<TWatchDog> dog = std::make_unique<TWatchDog>(time);
  std::vector<std::pair<std::string, int64_t>> fired;  // key, ms since start
  using Fired = std::vector<std::pair<std::string, int64_t>>;
};

TEST_F(WatchDogTest, SecondKickRestartsTheFullSecond) {
  dog->Kick("00A1");
  time.Advance(milliseconds(600));
  dog->Kick("00A1");
  time.Advance(milliseconds(999));
  EXPECT_TRUE(fired.empty());
  time.Advance(milliseconds(5000));
  EXPECT_EQ(fired, (Fired{{"00A1", 1600}}));
}

TEST_F(WatchDogTest, EachKeyFiresOnceOnItsOwnSecond) {
  dog->Kick("00A1");
  time.Advance(milliseconds(300));
  dog->Kick("1F00");
  time.Advance(milliseconds(5000));
  EXPECT_EQ(fired, (Fired{{"00A1", 1000}, {"1F00", 1300}}));
}

TEST_F(WatchDogTest, KeysCompareWithoutLetterCase) {
  dog->Kick("00ab");
  time.Advance(milliseconds(600));
  dog->Kick("00AB");
  time.Advance(milliseconds(5000));
  EXPECT_EQ(fired, (Fired{{"00ab", 1600}}));
}

TEST_F(WatchDogTest, KickAfterTheTimeoutStartsAnewAlsoFromTheHandler) {
  int again = 1;
  dog->OnTimeout = [&](const std::string& key) {
    fired.push_back({key, time.Now().ms - start});
    if (again-- > 0) {
      dog->Kick(key);
    }
  };
  dog->Kick("0001");
  time.Advance(milliseconds(5000));
  dog->Kick("0001");
  time.Advance(milliseconds(5000));
  EXPECT_EQ(fired, (Fired{{"0001", 1000}, {"0001", 2000}, {"0001", 6000}}));
  EXPECT_EQ(time.PendingTimers(), 0u);
}

TEST_F(WatchDogTest, ExpiryWithoutAHandlerOnlyRemovesTheEntry) {
  dog->OnTimeout = nullptr;
  dog->Kick("0001");
  time.Advance(milliseconds(5000));
  EXPECT_EQ(time.PendingTimers(), 0u);
}

TEST_F(WatchDogTest, DestroyReleasesTimersWithoutCallingTheHandler) {
  dog->Kick("0001");
  dog->Kick("0002");
  time.Advance(milliseconds(500));
  dog.reset();
  EXPECT_EQ(time.PendingTimers(), 0u);
  time.Advance(milliseconds(5000));
  EXPECT_TRUE(fired.empty());
}

}  // namespace
}  // namespace talvero
