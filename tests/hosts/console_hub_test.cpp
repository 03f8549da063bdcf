#include "hosts/console_hub.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "base/text_file.hpp"
#include "support/fake_console_parts.hpp"
#include "support/fake_service_control.hpp"
#include "support/recording_page_outlet.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using nlohmann::json;
using testing::RecordingOutlet;

class ConsoleHubTest : public ::testing::Test {
 protected:
  ConsoleHubTest() {
    std::filesystem::create_directory(home.path() / "Log_Service");
    manager.state = ServiceState::Stopped;
  }

  testing::TempDir home;
  testing::VirtualTime time{testing::At(2026, 12, 11, 9, 0, 0)};
  testing::FakeServiceManager manager;
  testing::FakeServiceControlFactory services{manager};
  testing::FakeScriptRunner scripts;
  testing::RecordingHost host;
  ServiceConsole console{ConsoleOptions{home.path(), "install.sh", "uninstall.sh", {}}, services,
                         scripts, time, host};
  RecordingOutlet outlet;
  ConsoleHub hub{console, outlet};
};

TEST_F(ConsoleHubTest, APageOpeningGetsTheViewAndActivatesTheConsole) {
  hub.Open(7);
  console.Activate();
  hub.ViewChanged();
  ASSERT_FALSE(outlet.sent.empty());
  EXPECT_EQ(outlet.sent.front().first, 7u);
  const json view = outlet.Last("view", 7);
  EXPECT_EQ(view["application"], "Application Status:  Enabled");
  EXPECT_EQ(view["service"], "Service Status:  [Installed] Not Running.");
  EXPECT_EQ(view["enabled"], (json{{"Run Application", true},
                                   {"Install Service", false},
                                   {"Uninstall Service", true},
                                   {"Start Service", true},
                                   {"Stop Service", false}}));
  EXPECT_EQ(view["busy"], false);
  EXPECT_FALSE(view.contains("box"));
}

TEST_F(ConsoleHubTest, TheViewGoesOutOnlyWhenItChanged) {
  hub.ViewChanged();
  hub.ViewChanged();
  EXPECT_EQ(outlet.Events("view", 0).size(), 1u);
  hub.Message(1, {{"type", "press"}, {"button", "Start Service"}});
  hub.ViewChanged();
  EXPECT_EQ(manager.starts, 1);
  EXPECT_GT(outlet.Events("view", 0).size(), 1u);
}

TEST_F(ConsoleHubTest, ButtonsAreNamedByTheirCaptionsAndAnythingElseIsIgnored) {
  for (const char* caption : {"Run Application", "Install Service", "Uninstall Service",
                              "Start Service", "Stop Service"}) {
    EXPECT_TRUE(ConsoleHub::ButtonOfCaption(caption)) << caption;
  }
  EXPECT_FALSE(ConsoleHub::ButtonOfCaption("start service"));
  EXPECT_FALSE(ConsoleHub::ButtonOfCaption("Help"));
  for (const json& request :
       {json{{"type", "press"}, {"button", "Stop"}}, json{{"type", "press"}, {"button", 3}},
        json{{"type", "press"}}, json{{"type", 5}}, json{{"type", "indicator"}, {"which", "x"}},
        json::array(), json("text")}) {
    hub.Message(1, request);
  }
  EXPECT_EQ(manager.starts + manager.stops, 0);
  EXPECT_TRUE(scripts.runs.empty());
  EXPECT_TRUE(outlet.Events("log", 1).empty());
}

TEST_F(ConsoleHubTest, AClickedIndicatorSendsItsLogToThatPage) {
  ReplaceFileWith(home.path() / "Log_Service" / "Errors.log", "2026.12.11 08:59:00 boom\r\n");
  manager.state = ServiceState::Running;
  console.Activate();
  time.Advance(ServiceConsole::kWatchPeriod);
  ASSERT_TRUE(console.View().errorIndicator);
  hub.Message(3, {{"type", "indicator"}, {"which", "error"}});
  const json log = outlet.Last("log", 3);
  EXPECT_EQ(log["file"], "Errors.log");
  EXPECT_EQ(log["text"], "2026.12.11 08:59:00 boom\r\n");
  EXPECT_FALSE(console.View().errorIndicator);
  hub.Message(3, {{"type", "indicator"}, {"which", "error"}});  // hidden: nothing more
  EXPECT_EQ(outlet.Events("log", 3).size(), 1u);
}

TEST_F(ConsoleHubTest, ALongLogShowsItsEndFromAWholeLine) {
  const std::filesystem::path file = home.path() / "big.log";
  std::string text;
  for (int i = 0; text.size() < ConsoleHub::kLogShownBytes * 2; ++i) {
    text += "line " + std::to_string(i) + "\r\n";
  }
  ReplaceFileWith(file, text);
  const std::string shown = ConsoleHub::LogText(file);
  EXPECT_LE(shown.size(), ConsoleHub::kLogShownBytes + 100);
  EXPECT_EQ(shown.rfind("(", 0), 0u);
  const std::string body = shown.substr(shown.find('\n') + 1);
  EXPECT_EQ(body.rfind("line ", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - body.size()), body);
  EXPECT_EQ(ConsoleHub::LogText(home.path() / "gone.log"), "gone.log cannot be read.");
}

TEST_F(ConsoleHubTest, TheBoxIsInTheViewUntilAPageSaysOk) {
  manager.installed = false;
  console.Activate();
  scripts.startable = false;
  hub.Message(1, {{"type", "press"}, {"button", "Install Service"}});
  hub.ViewChanged();
  EXPECT_EQ(outlet.Last("view", 0)["box"], "Error launching the instaler!");
  hub.Message(2, {{"type", "boxOk"}});
  hub.ViewChanged();
  EXPECT_FALSE(outlet.Last("view", 0).contains("box"));
  EXPECT_EQ(outlet.Last("view", 0)["service"], "Service Status:  Failed to install service.");
}

TEST_F(ConsoleHubTest, HelpIsAnsweredWithTheRequestsId) {
  hub.Message(4, {{"type", "help"}, {"lang", "EN"}, {"id", 12}});
  const json answer = outlet.Last("help", 4);
  EXPECT_EQ(answer["id"], 12);
  EXPECT_EQ(answer["message"], "Help file is missing.");
  hub.Message(4, {{"type", "help"}, {"lang", "DE"}, {"id", 13}});
  EXPECT_EQ(outlet.Events("help", 4).size(), 1u);
}

}  // namespace
}  // namespace talvero
