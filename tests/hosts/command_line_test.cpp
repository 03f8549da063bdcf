#include "hosts/command_line.hpp"

#include <gtest/gtest.h>

#include <regex>

#include "hosts/entry.hpp"
#include "hosts/version.hpp"

namespace talvero {
namespace {

CommandLineResult Parse(std::vector<std::string_view> args) {
  return ParseCommandLine(args);
}

TEST(CommandLine, PicksTheModeFromTheSwitches) {
  struct Case {
    std::vector<std::string_view> args;
    RunMode mode;
    bool silent;
  };
  const Case cases[] = {
      {{}, RunMode::Console, false},
      {{"--service"}, RunMode::Service, false},
      {{"--monitor"}, RunMode::Monitor, false},
      {{"-INSTALL"}, RunMode::Install, false},
      {{"/install"}, RunMode::Install, false},
      {{"-InStAlL", "-silent"}, RunMode::Install, true},
      {{"--home", "/srv/t", "/UNINSTALL", "/Silent"}, RunMode::Uninstall, true},
      {{"--service", "-uninstall"}, RunMode::Uninstall, false},
      {{"--help"}, RunMode::Help, false},
      {{"--version"}, RunMode::Version, false},
      {{"--service", "--version", "--home", "/srv/t"}, RunMode::Version, false},
      {{"-INSTALL", "--version"}, RunMode::Version, false},
      {{"--version", "--help"}, RunMode::Help, false},
  };
  for (const auto& c : cases) {
    const auto result = Parse(c.args);
    ASSERT_TRUE(result.line) << result.error;
    EXPECT_EQ(result.line->mode, c.mode);
    EXPECT_EQ(result.line->silent, c.silent);
  }
}

TEST(CommandLine, ReadsOptionsInBothForms) {
  const auto result =
      Parse({"--service", "--home", "/srv/talvero", "--ui=0.0.0.0:8080", "--dev-dir=/tmp/dev"});
  ASSERT_TRUE(result.line) << result.error;
  EXPECT_EQ(result.line->home, "/srv/talvero");
  EXPECT_EQ(result.line->uiHost, "0.0.0.0");
  EXPECT_EQ(result.line->uiPort, 8080);
  EXPECT_EQ(result.line->devDir, "/tmp/dev");

  const auto defaults = Parse({"--service"});
  EXPECT_EQ(defaults.line->home, "");
  EXPECT_EQ(defaults.line->uiHost, "127.0.0.1");
  EXPECT_EQ(defaults.line->uiPort, 33666);
  EXPECT_EQ(defaults.line->devDir, "/dev");
}

TEST(CommandLine, RefusesWhatItDoesNotKnow) {
  const std::vector<std::vector<std::string_view>> refused = {
      {"--frobnicate"},
      {"service"},
      {"-SERVICE"},
      {"--home"},
      {"--home="},
      {"--ui", "localhost"},
      {"--ui", "localhost:0"},
      {"--ui", "localhost:65536"},
      {"--ui", ":80"},
      {"-INSTALL", "-UNINSTALL"},
      {"-SILENT"},
      {"--service", "--monitor"},
  };
  for (const auto& args : refused) {
    const auto result = Parse(args);
    EXPECT_FALSE(result.line) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(result.error.empty());
  }
}

TEST(CommandLine, VersionIsTheProgramNameAndItsRelease) {
  EXPECT_TRUE(std::regex_match(VersionText(), std::regex("talvero [0-9]+(\\.[0-9]+)*\n")))
      << VersionText();
}

TEST(CommandLine, ReadsTheMetricsAndStationAddresses) {
  struct Case {
    std::vector<std::string_view> args;
    std::optional<NetAddress> metrics;
    std::optional<NetAddress> station;
  };
  const Case cases[] = {
      {{"--service"}, std::nullopt, std::nullopt},
      {{"--service", "--metrics", "127.0.0.1:9100"}, NetAddress{"127.0.0.1", 9100}, std::nullopt},
      {{"--monitor", "--metrics=:9100"}, NetAddress{"127.0.0.1", 9100}, std::nullopt},
      {{"--service", "--metrics", "[::1]:65535"}, NetAddress{"[::1]", 65535}, std::nullopt},
      {{"--service", "--metrics", "metrics-host.example:1"},
       NetAddress{"metrics-host.example", 1},
       std::nullopt},
      {{"--service", "--station", "tcp:127.0.0.1:5000"},
       std::nullopt,
       NetAddress{"127.0.0.1", 5000}},
      {{"--monitor", "--station=tcp:automation.local:10001", "--metrics", "0.0.0.0:9100"},
       NetAddress{"0.0.0.0", 9100},
       NetAddress{"automation.local", 10001}},
  };
  for (const auto& c : cases) {
    const auto result = Parse(c.args);
    ASSERT_TRUE(result.line) << result.error;
    EXPECT_EQ(result.line->metrics, c.metrics) << c.args.back();
    EXPECT_EQ(result.line->stationTcp, c.station) << c.args.back();
  }
}

TEST(CommandLine, AnAddressReadsBackFromItsText) {
  for (const NetAddress& address : {NetAddress{"127.0.0.1", 9100}, NetAddress{"[::1]", 1},
                                    NetAddress{"automation.local", 65535}}) {
    EXPECT_EQ(ParseNetAddress(NetAddressText(address), ""), address);
    EXPECT_EQ(ParseStationAddress("tcp:" + NetAddressText(address)), address);
  }
}

TEST(CommandLine, RefusesAddressesThatAreNotHostAndPort) {
  const std::vector<std::vector<std::string_view>> refused = {
      {"--metrics", "127.0.0.1"},
      {"--metrics", "127.0.0.1:"},
      {"--metrics", "127.0.0.1:0"},
      {"--metrics", "127.0.0.1:65536"},
      {"--metrics", "127.0.0.1:99999999999"},
      {"--metrics", "127.0.0.1:-1"},
      {"--metrics", "127.0.0.1:80x"},
      {"--metrics", "local host:9100"},
      {"--metrics", "::1:9100"},
      {"--metrics", "[]:9100"},
      {"--metrics", "@#!:9100"},
      {"--metrics="},
      {"--metrics"},
      {"--station", "127.0.0.1:5000"},
      {"--station", "udp:127.0.0.1:5000"},
      {"--station", "TCP:127.0.0.1:5000"},
      {"--station", "serial:COM1"},
      {"--station", "tcp:127.0.0.1"},
      {"--station", "tcp::5000"},
      {"--station", "tcp:127.0.0.1:0"},
      {"--station", "tcp:127.0.0.1:65536"},
      {"--station", "tcp:"},
      {"--station", "\x01\x02"},
  };
  for (const auto& args : refused) {
    const auto result = Parse(args);
    EXPECT_FALSE(result.line) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_NE(result.error.find(args[0].substr(0, args[0].find('='))), std::string::npos)
        << result.error;
  }
}

TEST(CommandLine, ABadAddressEndsTheProgramWithTheUsageAndCode2) {
  for (const char* option :
       {"--metrics=localhost", "--station=tcp:localhost:0", "--station=com1", "--metrics=:70000"}) {
    std::string program = "talvero";
    std::string mode = "--service";
    std::string bad = option;
    char* argv[] = {program.data(), mode.data(), bad.data(), nullptr};
    ::testing::internal::CaptureStderr();
    const int code = RunProgram(3, argv);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 2) << option;
    EXPECT_NE(printed.find("Usage:"), std::string::npos) << printed;
  }
}

TEST(CommandLine, UsageNamesEveryOption) {
  const std::string usage = UsageText("talvero");
  for (const char* option : {"--home", "--ui", "--dev-dir", "--metrics HOST:PORT",
                             "--station tcp:HOST:PORT", "--service", "--monitor"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace talvero
