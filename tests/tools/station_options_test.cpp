#include "station_sim/station_options.hpp"

#include <gtest/gtest.h>

#include "common/usage_error.hpp"
#include "shown_args.hpp"

namespace talvero {
namespace {

using testing::ShownArgs;
using Args = std::vector<std::string>;

TEST(StationOptions, DefaultsAndValues) {
  const StationOptions d = ParseStationArgs({});
  EXPECT_FALSE(d.device.has_value());
  EXPECT_EQ(d.answer, StationAnswer::Ack);
  EXPECT_EQ(d.delaySeconds, 0);
  EXPECT_FALSE(d.baud.has_value());
  EXPECT_FALSE(d.count.has_value());
  EXPECT_FALSE(d.durationSeconds.has_value());

  const StationOptions o = ParseStationArgs(
      {"--pty", "--link", "/tmp/dev/COM1", "--answer", "nak", "--delay", "0.25", "--baud=9600",
       "--heartbeat", "30", "--count", "1000", "--duration", "60", "--quiet", "--json"});
  EXPECT_EQ(o.link, "/tmp/dev/COM1");
  EXPECT_EQ(o.answer, StationAnswer::Nak);
  EXPECT_DOUBLE_EQ(o.delaySeconds, 0.25);
  EXPECT_EQ(o.baud, 9600);
  EXPECT_DOUBLE_EQ(o.heartbeatSeconds, 30);
  EXPECT_EQ(o.count, 1000u);
  EXPECT_EQ(o.durationSeconds, 60.0);
  EXPECT_TRUE(o.quiet);
  EXPECT_TRUE(o.json);

  const StationOptions dev = ParseStationArgs({"--device", "/dev/ttyUSB0", "--baud", "19200"});
  EXPECT_EQ(dev.device, "/dev/ttyUSB0");
  EXPECT_EQ(dev.baud, 19200);
  // A pseudo-terminal has no speed of its own: any rate can be waited for.
  EXPECT_EQ(ParseStationArgs({"--baud", "12345"}).baud, 12345);
  EXPECT_EQ(ParseStationArgs({"--answer", "none"}).answer, StationAnswer::None);

  EXPECT_FALSE(d.listen.has_value());
  const StationOptions tcp = ParseStationArgs({"--listen", "127.0.0.1:10001", "--count", "5"});
  EXPECT_EQ(tcp.listen, (std::pair<std::string, uint16_t>{"127.0.0.1", 10001}));
  EXPECT_EQ(ParseStationArgs({"--listen=[::1]:7"}).listen,
            (std::pair<std::string, uint16_t>{"[::1]", 7}));
}

TEST(StationOptions, BadArgumentsAreRefused) {
  const Args cases[] = {
      {"COM1"},
      {"--bogus"},
      {"--device"},
      {"--device", ""},
      {"--device", "/dev/ttyS0", "--pty"},
      {"--device", "/dev/ttyS0", "--link", "/tmp/COM1"},
      {"--device", "/dev/ttyS0", "--baud", "12345"},
      {"--answer", "yes"},
      {"--answer", "none", "--delay", "1"},
      {"--delay", "-1"},
      {"--baud", "0"},
      {"--baud", "9600.5"},
      {"--heartbeat", "0"},
      {"--count", "0"},
      {"--count", "ten"},
      {"--duration", "0"},
      {"--quiet=1"},
      {"--json", "--json"},
      {"--listen"},
      {"--listen", "127.0.0.1"},
      {"--listen", ":5000"},
      {"--listen", "127.0.0.1:0"},
      {"--listen", "127.0.0.1:65536"},
      {"--listen", "127.0.0.1:50x"},
      {"--listen", "127.0.0.1:5000", "--pty"},
      {"--listen", "127.0.0.1:5000", "--link", "/tmp/COM1"},
      {"--listen", "127.0.0.1:5000", "--device", "/dev/ttyS0"},
  };
  for (const Args& args : cases) {
    SCOPED_TRACE(ShownArgs(args));
    EXPECT_THROW(ParseStationArgs(args), UsageError);
  }
}

}  // namespace
}  // namespace talvero
