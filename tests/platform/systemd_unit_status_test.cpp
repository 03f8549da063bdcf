#include "platform/systemd_unit_status.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvero {
namespace {

TEST(SystemdUnitStatus, ActiveStatesMapToTheConsolesStates) {
  const struct {
    std::string activeState;
    ServiceState state;
  } cases[] = {
      {"activating", ServiceState::StartPending},
      {"active", ServiceState::Running},
      {"inactive", ServiceState::Stopped},
      {"failed", ServiceState::Stopped},
      {"deactivating", ServiceState::Other},
      {"reloading", ServiceState::Other},
      {"maintenance", ServiceState::Other},
      {"", ServiceState::Other},
      {"Active", ServiceState::Other},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StateOfActiveState(c.activeState), c.state) << '"' << c.activeState << '"';
  }
}

struct Step {
  bool jobPending;
  std::uint32_t checkPoint;
  std::uint32_t waitHintMs;
};

void ExpectSteps(SynthesizedProgress& progress, const std::vector<Step>& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const ServiceStatus status = progress.Next(ServiceState::StartPending, steps[i].jobPending);
    EXPECT_EQ(status.state, ServiceState::StartPending) << "query " << i + 1;
    EXPECT_EQ(status.checkPoint, steps[i].checkPoint) << "query " << i + 1;
    EXPECT_EQ(status.waitHintMs, steps[i].waitHintMs) << "query " << i + 1;
  }
}

TEST(SynthesizedProgress, GivesNoProgressBeforeARequest) {
  SynthesizedProgress progress;
  EXPECT_FALSE(progress.Requested());
  ExpectSteps(progress, {{true, 0, 0}, {false, 0, 0}});
}

TEST(SynthesizedProgress, CountsQueriesWhileTheJobRunsThenFalls) {
  SynthesizedProgress progress;
  progress.RequestSent();
  EXPECT_TRUE(progress.Requested());
  ExpectSteps(
      progress,
      {{true, 1, 250}, {true, 2, 250}, {true, 3, 250}, {false, 0, 0}, {false, 0, 0}, {true, 0, 0}});
}

TEST(SynthesizedProgress, AJobDoneAtOnceStillCountsOneBeforeFalling) {
  // The console notes 0 before its first query; only a 1 first makes the 0 lower.
  SynthesizedProgress progress;
  progress.RequestSent();
  ExpectSteps(progress, {{false, 1, 250}, {false, 0, 0}});
}

TEST(SynthesizedProgress, FallsToZeroAfterTheBoundEvenWithAJob) {
  SynthesizedProgress progress;
  progress.RequestSent();
  for (std::uint32_t query = 1; query <= SynthesizedProgress::kMaxPolls; ++query) {
    const ServiceStatus status = progress.Next(ServiceState::StartPending, true);
    ASSERT_EQ(status.checkPoint, query);
    ASSERT_EQ(status.waitHintMs, SynthesizedProgress::kPollMs);
  }
  for (int more = 0; more < 3; ++more) {
    const ServiceStatus status = progress.Next(ServiceState::StartPending, true);
    EXPECT_EQ(status.checkPoint, 0u);
    EXPECT_EQ(status.waitHintMs, 0u);
  }
}

TEST(SynthesizedProgress, ANewRequestCountsFromOneAgain) {
  SynthesizedProgress progress;
  progress.RequestSent();
  ExpectSteps(progress, {{true, 1, 250}, {true, 2, 250}, {false, 0, 0}});
  progress.RequestSent();
  ExpectSteps(progress, {{true, 1, 250}, {true, 2, 250}});
}

}  // namespace
}  // namespace talvero
