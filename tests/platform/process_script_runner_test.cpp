#include "platform/process_script_runner.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "base/text_file.hpp"
#include "platform/asio.hpp"
#include "platform/run_until.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using std::chrono::seconds;

class ProcessScriptRunnerTest : public ::testing::Test {
 protected:
  std::filesystem::path Script(const std::string& body) {
    const std::filesystem::path file = dir.path() / "script.sh";
    ReplaceFileWith(file, body);  // not executable: bash reads it
    return file;
  }

  std::optional<ScriptOutcome> RunToEnd(ProcessScriptRunner& runner,
                                        const std::filesystem::path& script,
                                        const std::vector<std::string>& args = {}) {
    std::optional<ScriptOutcome> outcome;
    if (!runner.Run(script, args, [&](ScriptOutcome o) { outcome = o; })) {
      ADD_FAILURE() << "did not start";
      return std::nullopt;
    }
    testing::RunUntil(
        io, [&] { return outcome.has_value(); }, std::chrono::milliseconds(10000));
    return outcome;
  }

  testing::TempDir dir;
  boost::asio::io_context io;
};

TEST_F(ProcessScriptRunnerTest, TellsHowTheScriptEndedAndHandsItTheArguments) {
  ProcessScriptRunner runner(io, seconds(60));
  const auto args = dir.path() / "args.txt";
  const auto ok =
      RunToEnd(runner, Script("printf '%s|' \"$@\" > \"$1\"\n"), {args.string(), "--home", "/a b"});
  ASSERT_TRUE(ok);
  EXPECT_TRUE(ok->ok);
  EXPECT_EQ(ReadWholeFile(args), args.string() + "|--home|/a b|");

  const auto failed = RunToEnd(runner, Script("exit 3\n"));
  ASSERT_TRUE(failed);
  EXPECT_FALSE(failed->ok);
  EXPECT_EQ(failed->failure, "ended with exit code 3");

  const auto killed = RunToEnd(runner, Script("kill -9 $$\n"));
  ASSERT_TRUE(killed);
  EXPECT_FALSE(killed->ok);
  EXPECT_EQ(killed->failure, "was ended by signal 9");
}

TEST_F(ProcessScriptRunnerTest, AMissingScriptDoesNotStart) {
  ProcessScriptRunner runner(io, seconds(60));
  EXPECT_FALSE(runner.Run(dir.path() / "nowhere.sh", {}, [](ScriptOutcome) { FAIL(); }));
  EXPECT_FALSE(runner.Run(dir.path(), {}, [](ScriptOutcome) { FAIL(); }));
}

TEST_F(ProcessScriptRunnerTest, AHangingScriptIsStoppedWithItsChildrenAtTheLimit) {
  ProcessScriptRunner runner(io, seconds(1));
  const auto pidFile = dir.path() / "child.pid";
  const auto outcome =
      RunToEnd(runner, Script("sleep 60 & echo $! > \"" + pidFile.string() + "\"\nwait\n"));
  ASSERT_TRUE(outcome);
  EXPECT_FALSE(outcome->ok);
  EXPECT_EQ(outcome->failure, "did not end within 1 s and was stopped");
  const std::string pid = ReadWholeFile(pidFile);
  // The sleep went with its group: its process is gone or a zombie of init.
  const std::filesystem::path proc = "/proc/" + pid.substr(0, pid.find('\n'));
  testing::RunUntil(
      io,
      [&] {
        std::error_code error;
        if (!std::filesystem::exists(proc, error)) {
          return true;
        }
        const std::string status = ReadWholeFile(proc / "stat");
        return status.find(") Z") != std::string::npos;
      },
      std::chrono::milliseconds(5000));
  std::error_code error;
  if (std::filesystem::exists(proc, error)) {
    EXPECT_NE(ReadWholeFile(proc / "stat").find(") Z"), std::string::npos);
  }
}

TEST_F(ProcessScriptRunnerTest, GoingAwayStopsAScriptStillRunning) {
  const auto pidFile = dir.path() / "script.pid";
  {
    ProcessScriptRunner runner(io, seconds(60));
    ASSERT_TRUE(runner.Run(Script("echo $$ > \"" + pidFile.string() + "\"\nsleep 60\n"), {},
                           [](ScriptOutcome) {}));
    testing::RunUntil(io, [&] { return std::filesystem::exists(pidFile); });
  }
  const std::string pid = ReadWholeFile(pidFile);
  std::error_code error;
  EXPECT_FALSE(std::filesystem::exists("/proc/" + pid.substr(0, pid.find('\n')), error));
}

}  // namespace
}  // namespace talvero
