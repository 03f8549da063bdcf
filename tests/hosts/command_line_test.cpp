#include "hosts/command_line.hpp"

#include <gtest/gtest.h>

#include <regex>

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

}  // namespace
}  // namespace talvero
