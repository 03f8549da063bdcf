// The real service host on a disk that fails under it: a home made read-only
// while it runs, and a database on a full disk. Both need mount(2), that is
// root; where it is refused the tests are skipped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "e2e/service_fixture.hpp"

namespace talvero::e2e {
namespace {

namespace fs = std::filesystem;

// A mount made by the test for the test, taken away at its end.
class TestMount {
 public:
  // A tmpfs of the given options ("size=1m") at the folder.
  static TestMount Tmpfs(const fs::path& at, const std::string& options) {
    TestMount m(at);
    m.error_ = ::mount("none", at.c_str(), "tmpfs", 0, options.c_str()) == 0 ? 0 : errno;
    return m;
  }
  // The folder mounted again over itself, read-only: the files already open
  // stay writable, every new opening for writing is refused.
  static TestMount ReadOnlyOver(const fs::path& at) {
    TestMount m(at);
    if (::mount(at.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      m.error_ = errno;
    } else if (::mount(nullptr, at.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
               0) {
      m.error_ = errno;
      ::umount2(at.c_str(), MNT_DETACH);
    } else {
      m.error_ = 0;
    }
    return m;
  }
  TestMount(TestMount&& other) noexcept : at_(other.at_), error_(other.error_) {
    other.error_ = -1;
  }
  ~TestMount() { Remove(); }

  bool Made() const { return error_ == 0; }
  std::string Why() const { return std::strerror(error_); }
  void Remove() {
    if (error_ == 0) {
      ::umount2(at_.c_str(), MNT_DETACH);
      error_ = -1;
    }
  }

 private:
  explicit TestMount(fs::path at) : at_(std::move(at)) {}
  fs::path at_;
  int error_ = -1;
};

class DiskFault : public ServiceHost {
 protected:
  // Writes the file until its disk is full.
  static void FillDisk(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    ::close(fd);
  }

  // The lines the station journal keeps for the station (records "A...").
  int JournalLines() const {
    const std::string journal = ReadFile(Home() / "Talvero_station.jnl");
    int added = 0;
    int removed = 0;
    for (size_t at = 0; at < journal.size(); at = journal.find('\n', at) + 1) {
      added += journal[at] == 'A';
      removed += journal[at] == 'D';
      if (journal.find('\n', at) == std::string::npos) {
        break;
      }
    }
    return added - removed;
  }

  std::string ErrorsLog() const { return ReadFile(Home() / "Log_Service" / "Errors.log"); }

  // The answer type to a ping of the unit over UDP (1 Ack, 2 Nack), 0 for none.
  int Ping(uint16_t unit) const {
    UnitSocket socket(UnitSocket::Kind::Udp, port_);
    socket.Send(Frame(35, 1, unit, ""));
    const auto answer = socket.Receive();
    return answer && !answer->empty() ? (*answer)[0] : 0;
  }
};

const std::string kAlarmLine = std::string("5077 181234E13001005") + '\x14';

// Linux keeps the files a process holds open writable when their folder is
// made read-only: the receiver, which keeps its logs, its journal and its
// database open, goes on serving and keeping every alarm.
TEST_F(DiskFault, AHomeMadeReadOnlyWhileRunningGoesOnThroughItsOpenFiles) {
  UseSettings(0);
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station.ReleaseSlave();
  EXPECT_EQ(Ping(0x0005), 1);
  TestMount readOnly = TestMount::ReadOnlyOver(Home());
  if (!readOnly.Made()) {
    GTEST_SKIP() << "cannot mount the home read-only here (needs root): " << readOnly.Why();
  }
  ASSERT_LT(::open((Home() / "probe").c_str(), O_WRONLY | O_CREAT, 0644), 0);

  const auto answer = SendAlarmOverUdp();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)[0], 1);
  EXPECT_NE(ReadFile(Home() / "Talvero_station.jnl").find("A"), std::string::npos);
  EXPECT_TRUE(AnswerUntil(station, kAlarmLine));
  EXPECT_EQ(Ping(0x0042), 1);
  EXPECT_TRUE(
      WaitUntil([&] { return ReadFile(Home() / "Talvero.db").substr(0x42 * 40, 1) == "\x01"; }));
  EXPECT_NE(ImpMsgLog().find("0042 FIRST MSG"), std::string::npos);
  EXPECT_FALSE(fs::exists(Home() / "Log_Service" / "Errors.log"));
  readOnly.Remove();
  receiver->Signal(SIGTERM);
  EXPECT_EQ(receiver->WaitExit(), 0);
}

// The home's disk fills up while the receiver runs: an alarm the journal
// cannot keep gets a Nack and still reaches the station, every alarm that got
// an Ack was in the journal first, other frames are answered, and each failure
// is told on standard error, since the "Errors" log cannot take it either.
TEST_F(DiskFault, AFullHomeAcknowledgesNothingItCouldNotJournal) {
  fs::create_directories(Home());
  TestMount tmpfs = TestMount::Tmpfs(Home(), "size=4m");
  if (!tmpfs.Made()) {
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << tmpfs.Why();
  }
  UseSettings(0);
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station.ReleaseSlave();
  EXPECT_EQ(Ping(0x0005), 1);
  FillDisk(Home() / "filler");

  // The journal's last page may still take a few lines; the first alarm it
  // cannot keep is refused.
  int acknowledged = 0;
  bool refused = false;
  for (int alarm = 0; alarm < 200 && !refused; ++alarm) {
    const auto answer = SendAlarmOverUdp();
    ASSERT_TRUE(answer);
    if ((*answer)[0] == 1) {
      ++acknowledged;
      EXPECT_EQ(JournalLines(), acknowledged);
    } else {
      refused = true;
    }
  }
  EXPECT_TRUE(refused);
  EXPECT_EQ(Ping(0x0006), 1);
  for (int line = 0; line <= acknowledged; ++line) {
    EXPECT_TRUE(AnswerUntil(station, kAlarmLine)) << line;
  }
  EXPECT_TRUE(WaitUntil([&] {
    const std::string told = ReadFile(Output());
    return told.find("ERR in StationJournal") != std::string::npos &&
           told.find("No space left on device") != std::string::npos;
  })) << ReadFile(Output());

  fs::remove(Home() / "filler");
  receiver->Signal(SIGTERM);
  EXPECT_EQ(receiver->WaitExit(), 0);
  for (const auto& entry : fs::recursive_directory_iterator(Home() / "Log_Service")) {
    if (entry.is_regular_file()) {
      const std::string text = ReadFile(entry.path());
      // An empty file was made when the disk had no room for its first line.
      EXPECT_TRUE(text.empty() || text.ends_with("\r\n"))
          << entry.path() << " ends: " << text.substr(text.size() > 200 ? text.size() - 200 : 0);
    }
  }
}

TEST_F(DiskFault, AFullDiskUnderTheDatabaseIsReportedWhileFramesAreAnsweredAndAlarmsDelivered) {
  const fs::path disk = home_.path() / "disk";
  fs::create_directories(disk);
  TestMount tmpfs = TestMount::Tmpfs(disk, "size=256k");
  if (!tmpfs.Made()) {
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << tmpfs.Why();
  }
  UseSettings(0);
  // A sparse database: its records take room on the disk only when written.
  const int db = ::open((disk / "Talvero.db").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(db, 0);
  ASSERT_EQ(::ftruncate(db, 2'621'440), 0);
  ::close(db);
  fs::create_symlink(disk / "Talvero.db", Home() / "Talvero.db");
  FillDisk(disk / "filler");

  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station.ReleaseSlave();
  for (uint16_t unit = 0x0101; unit < 0x0110; ++unit) {
    EXPECT_EQ(Ping(unit), 1) << unit;
  }
  const auto alarm = SendAlarmOverUdp();
  ASSERT_TRUE(alarm);
  EXPECT_EQ((*alarm)[0], 1);  // the journal lies on another disk: the alarm is kept
  EXPECT_TRUE(AnswerUntil(station, kAlarmLine));
  EXPECT_TRUE(WaitUntil([&] {
    const std::string errors = ErrorsLog();
    return errors.find("ERR in ProcessRecMsg") != std::string::npos &&
           errors.find("No space left on device") != std::string::npos;
  })) << ErrorsLog();
  EXPECT_EQ(ReadFile(disk / "Talvero.db").substr(0x0101 * 40, 1), std::string(1, '\0'));

  // Room again: a unit's record that could not be written goes with its next frame.
  fs::remove(disk / "filler");
  EXPECT_EQ(Ping(0x0101), 1);
  EXPECT_TRUE(
      WaitUntil([&] { return ReadFile(disk / "Talvero.db").substr(0x0101 * 40, 1) == "\x01"; }));
  receiver->Signal(SIGTERM);
  EXPECT_EQ(receiver->WaitExit(), 0);
}

}  // namespace
}  // namespace talvero::e2e
