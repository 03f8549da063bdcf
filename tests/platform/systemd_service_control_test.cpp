#include "platform/systemd_service_control.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_systemd.hpp"
#include "platform/systemd_unit_status.hpp"
#include "private_dbus.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using std::chrono::milliseconds;

constexpr char kUnitName[] = "TalveroService.service";

// Sets an environment variable for one test and restores it after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) {
      old_ = old;
    }
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A unit in this state whose start or stop takes this many reads of its state.
talvero::testing::FakeUnit UnitIn(std::string activeState, int transitionReads = 0) {
  talvero::testing::FakeUnit unit;
  unit.activeState = std::move(activeState);
  unit.transitionReads = transitionReads;
  return unit;
}

void ExpectStatus(const std::optional<ServiceStatus>& status, ServiceState state,
                  std::uint32_t checkPoint, std::uint32_t waitHintMs) {
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->state, state);
  EXPECT_EQ(status->checkPoint, checkPoint);
  EXPECT_EQ(status->waitHintMs, waitHintMs);
}

struct WaitEnd {
  std::optional<ServiceStatus> last;
  int queries = 0;
};

// The console's wait after a start or stop, without its sleeps: from the status
// read before the request, query while the target is not reached; leave when a
// query fails or the check point falls.
WaitEnd WaitLikeTheConsole(ServiceControl& control, ServiceStatus status, ServiceState target) {
  WaitEnd end{status, 0};
  // Far beyond any bound of the adapter; only stops a failing test.
  constexpr int kRunaway = 10000;
  while (end.last->state != target && end.queries < kRunaway) {
    const std::uint32_t noted = end.last->checkPoint;
    const std::optional<ServiceStatus> next = control.QueryStatus();
    ++end.queries;
    end.last = next;
    if (!next || next->checkPoint < noted) {
      break;
    }
  }
  return end;
}

TEST(SystemdServiceControl, NothingWorksWithoutABus) {
  const talvero::testing::TempDir dir;
  const std::string missing = "unix:path=" + (dir.path() / "no-bus").string();
  const std::string addresses[] = {missing, "unix:path=/no-such-folder/bus", "not an address"};
  for (const std::string& address : addresses) {
    SystemdServiceControlFactory factory(kUnitName, {address, milliseconds(2000)});
    const auto control = factory.Open();
    EXPECT_FALSE(control->Connect()) << address;
    EXPECT_FALSE(control->OpenService()) << address;
    EXPECT_FALSE(control->QueryStatus().has_value()) << address;
    EXPECT_FALSE(control->StartService()) << address;
    EXPECT_FALSE(control->StopService()) << address;
  }
}

TEST(SystemdServiceControl, ConnectFailsWithoutASystemBus) {
  const talvero::testing::TempDir dir;
  const ScopedEnv env("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (dir.path() / "none").string());
  SystemdServiceControlFactory factory;
  EXPECT_FALSE(factory.Open()->Connect());
}

class SystemdServiceControlTest : public ::testing::Test {
 protected:
  // Connects and opens the unit, as the console does before anything else.
  std::unique_ptr<ServiceControl> OpenUnit(SystemdServiceControlFactory& factory) {
    auto control = factory.Open();
    EXPECT_TRUE(control->Connect());
    EXPECT_TRUE(control->OpenService());
    return control;
  }
  std::unique_ptr<ServiceControl> OpenUnit() { return OpenUnit(factory_); }

  talvero::testing::PrivateDbus bus_;
  talvero::testing::FakeSystemd systemd_{bus_.address()};
  SystemdServiceControlFactory factory_{kUnitName, {bus_.address(), milliseconds(2000)}};
};

TEST_F(SystemdServiceControlTest, FindsTheSystemBusThroughItsAddressVariable) {
  systemd_.SetUnit(kUnitName, UnitIn("active"));
  const ScopedEnv env("DBUS_SYSTEM_BUS_ADDRESS", bus_.address());
  SystemdServiceControlFactory factory;
  const auto control = OpenUnit(factory);
  ExpectStatus(control->QueryStatus(), ServiceState::Running, 0, 0);
  EXPECT_EQ(systemd_.Calls(), std::vector<std::string>{"LoadUnit TalveroService.service"});
}

TEST_F(SystemdServiceControlTest, AUnitThatIsNotFoundOrRefusedCannotBeOpened) {
  const auto notFound = factory_.Open();
  ASSERT_TRUE(notFound->Connect());
  EXPECT_FALSE(notFound->OpenService());
  EXPECT_FALSE(notFound->QueryStatus().has_value());
  EXPECT_EQ(systemd_.Calls(), std::vector<std::string>{"LoadUnit TalveroService.service"});

  talvero::testing::FakeUnit unloadable = UnitIn("inactive");
  unloadable.loadError = "org.freedesktop.DBus.Error.AccessDenied";
  systemd_.SetUnit(kUnitName, unloadable);
  const auto refused = factory_.Open();
  ASSERT_TRUE(refused->Connect());
  EXPECT_FALSE(refused->OpenService());
}

TEST_F(SystemdServiceControlTest, ReadsTheUnitsActiveState) {
  const struct {
    std::string activeState;
    ServiceState state;
  } cases[] = {
      {"active", ServiceState::Running},     {"activating", ServiceState::StartPending},
      {"inactive", ServiceState::Stopped},   {"failed", ServiceState::Stopped},
      {"deactivating", ServiceState::Other}, {"reloading", ServiceState::Other},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.activeState);
    systemd_.SetUnit(kUnitName, UnitIn(c.activeState));
    const auto control = OpenUnit();
    ExpectStatus(control->QueryStatus(), c.state, 0, 0);
  }
}

TEST_F(SystemdServiceControlTest, StartsTheUnitAndCountsUntilItRuns) {
  systemd_.SetUnit(kUnitName, UnitIn("inactive", 2));
  const auto control = OpenUnit();
  ExpectStatus(control->QueryStatus(), ServiceState::Stopped, 0, 0);
  ASSERT_TRUE(control->StartService());
  EXPECT_EQ(systemd_.Calls().back(), "StartUnit TalveroService.service replace");
  ExpectStatus(control->QueryStatus(), ServiceState::StartPending, 1, 250);
  ExpectStatus(control->QueryStatus(), ServiceState::StartPending, 2, 250);
  ExpectStatus(control->QueryStatus(), ServiceState::Running, 0, 0);
}

TEST_F(SystemdServiceControlTest, StopsTheUnitAndCountsUntilItStops) {
  systemd_.SetUnit(kUnitName, UnitIn("active", 1));
  const auto control = OpenUnit();
  const std::optional<ServiceStatus> before = control->QueryStatus();
  ExpectStatus(before, ServiceState::Running, 0, 0);
  ASSERT_TRUE(control->StopService());
  EXPECT_EQ(systemd_.Calls().back(), "StopUnit TalveroService.service replace");
  const WaitEnd end = WaitLikeTheConsole(*control, *before, ServiceState::Stopped);
  ExpectStatus(end.last, ServiceState::Stopped, 0, 0);
  EXPECT_EQ(end.queries, 2);
  EXPECT_EQ(systemd_.ActiveState(kUnitName), "inactive");
}

TEST_F(SystemdServiceControlTest, ARefusedStartFailsAndStartsNoWait) {
  talvero::testing::FakeUnit masked = UnitIn("inactive");
  masked.startError = "org.freedesktop.systemd1.UnitMasked";
  systemd_.SetUnit(kUnitName, masked);
  const auto control = OpenUnit();
  EXPECT_FALSE(control->StartService());
  ExpectStatus(control->QueryStatus(), ServiceState::Stopped, 0, 0);
}

TEST_F(SystemdServiceControlTest, AStartThatFailsEndsTheWaitWhenItsJobEnds) {
  talvero::testing::FakeUnit failing = UnitIn("inactive", 1);
  failing.startEnd = "failed";
  systemd_.SetUnit(kUnitName, failing);
  const auto control = OpenUnit();
  const std::optional<ServiceStatus> before = control->QueryStatus();
  ASSERT_TRUE(before.has_value());
  ASSERT_TRUE(control->StartService());
  const WaitEnd end = WaitLikeTheConsole(*control, *before, ServiceState::Running);
  ExpectStatus(end.last, ServiceState::Stopped, 0, 0);
  EXPECT_EQ(end.queries, 2);
}

TEST_F(SystemdServiceControlTest, AUnitStuckInActivatingEndsTheWaitAfterTheBound) {
  systemd_.SetUnit(kUnitName, UnitIn("inactive", 1'000'000));
  const auto control = OpenUnit();
  const std::optional<ServiceStatus> before = control->QueryStatus();
  ASSERT_TRUE(before.has_value());
  ASSERT_TRUE(control->StartService());
  const WaitEnd end = WaitLikeTheConsole(*control, *before, ServiceState::Running);
  ExpectStatus(end.last, ServiceState::StartPending, 0, 0);
  EXPECT_EQ(end.queries, static_cast<int>(SynthesizedProgress::kMaxPolls) + 1);
}

TEST_F(SystemdServiceControlTest, ABusThatDiesMidWaitFailsTheNextCalls) {
  systemd_.SetUnit(kUnitName, UnitIn("inactive", 1'000'000));
  const auto control = OpenUnit();
  ASSERT_TRUE(control->StartService());
  ExpectStatus(control->QueryStatus(), ServiceState::StartPending, 1, 250);
  bus_.Kill();
  EXPECT_FALSE(control->QueryStatus().has_value());
  EXPECT_FALSE(control->StartService());
  EXPECT_FALSE(control->StopService());
  EXPECT_FALSE(factory_.Open()->Connect());
}

TEST_F(SystemdServiceControlTest, ABusThatStopsAnsweringTimesOut) {
  systemd_.SetUnit(kUnitName, UnitIn("active"));
  SystemdServiceControlFactory factory(kUnitName, {bus_.address(), milliseconds(200)});
  const auto control = OpenUnit(factory);
  bus_.Pause();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(control->QueryStatus().has_value());
  EXPECT_FALSE(control->StopService());
  {
    // A bus that takes the connection and never answers it; closing the
    // session must not wait for it either.
    const auto late = factory.Open();
    EXPECT_FALSE(late->Connect());
  }
  // Not a speed target: sd-bus's own time-outs (25 s and more) must not
  // stand in for the session's 200 ms.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace talvero
