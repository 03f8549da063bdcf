#include "hosts/metrics_text.hpp"

#include <gtest/gtest.h>

#include "hosts/process_stats.hpp"
#include "support/exposition_check.hpp"

namespace talvero {
namespace {

using testing::ExpositionProblems;

bool Holds(const std::string& text, const std::string& line) {
  return text.find("\n" + line + "\n") != std::string::npos;
}

TEST(MetricsText, ShowsEveryFigureInTheExpositionFormat) {
  RuntimeMetrics counted;
  counted.framesReceived[0][6] = 12;
  counted.framesReceived[1][35] = 3;
  counted.framesRefused[static_cast<size_t>(FrameRefusal::Checksum)] = 2;
  counted.framesRefused[static_cast<size_t>(FrameRefusal::Decryption)] = 1;
  counted.acksSent = 14;
  counted.nacksSent = 3;
  counted.tcpConnectionsOpen = 5;
  counted.stationLinesSent = 9;
  counted.stationLinesResent = 4;
  counted.stationAcks = 8;
  counted.stationNaks = 2;
  counted.logWriteFailures = 7;
  MetricsSample sample(counted);
  sample.unitsInUse = 65536;
  sample.unitsInTrouble = {10, 4, 1};
  sample.stationLinesQueued = 2;
  sample.oldestLineAgeSeconds = 12.5;
  sample.stationOutputUp = true;
  sample.lastStationAnswerSeconds = 1765400000.25;
  sample.lastHeartbeatAnswerSeconds = 1765399990;
  sample.process = ProcessStats{1.5, 20 << 20, 100 << 20, 12, 65536, 1765390000.5};

  const std::string text = MetricsText(sample);
  EXPECT_EQ(ExpositionProblems(text), std::vector<std::string>{}) << text;
  for (const char* line : {
           R"(talvero_frames_received_total{transport="tcp",type="6"} 12)",
           R"(talvero_frames_received_total{transport="udp",type="35"} 3)",
           R"(talvero_frames_refused_total{reason="checksum"} 2)",
           R"(talvero_frames_refused_total{reason="size"} 0)",
           R"(talvero_frames_refused_total{reason="type"} 0)",
           R"(talvero_frames_refused_total{reason="decryption"} 1)",
           R"(talvero_answers_sent_total{answer="ack"} 14)",
           R"(talvero_answers_sent_total{answer="nack"} 3)",
           "talvero_tcp_connections 5",
           "talvero_units_in_use 65536",
           R"(talvero_units_in_trouble{level="1"} 10)",
           R"(talvero_units_in_trouble{level="2"} 4)",
           R"(talvero_units_in_trouble{level="3"} 1)",
           "talvero_station_lines_queued 2",
           "talvero_station_oldest_line_age_seconds 12.5",
           "talvero_station_lines_sent_total 9",
           "talvero_station_lines_resent_total 4",
           R"(talvero_station_answers_total{answer="ack"} 8)",
           R"(talvero_station_answers_total{answer="nak"} 2)",
           "talvero_station_output_up 1",
           "talvero_station_last_answer_timestamp_seconds 1765400000.25",
           "talvero_station_last_heartbeat_answer_timestamp_seconds 1765399990",
           "talvero_log_write_failures_total 7",
           "process_cpu_seconds_total 1.5",
           "process_resident_memory_bytes 20971520",
           "process_virtual_memory_bytes 104857600",
           "process_open_fds 12",
           "process_max_fds 65536",
           "process_start_time_seconds 1765390000.5",
       }) {
    EXPECT_TRUE(Holds(text, line)) << line;
  }
  // Frame types never seen give no series.
  EXPECT_EQ(text.find(R"(type="7")"), std::string::npos);
}

TEST(MetricsText, WithoutProcessFiguresTheRestIsStillValid) {
  RuntimeMetrics counted;
  MetricsSample sample(counted);
  const std::string text = MetricsText(sample);
  EXPECT_EQ(ExpositionProblems(text), std::vector<std::string>{}) << text;
  EXPECT_EQ(text.find("process_"), std::string::npos);
  EXPECT_TRUE(Holds(text, "talvero_station_output_up 0"));
}

TEST(ExpositionCheck, FindsWhatAScraperWouldRefuse) {
  const char* bad[] = {
      "# HELP a_total x\n# TYPE a_total counter\na_total 1",  // no line end
      "# HELP a x\n# TYPE a gauge\na one\n",                  // not a number
      "# HELP a x\n# TYPE a gauge\n1a 1\n",                   // bad name
      "# HELP a x\n# TYPE a gauge\na{l=\"x} 1\n",             // label not closed
      "# HELP a x\n# TYPE a gauge\na{l=x} 1\n",               // value not quoted
      "# HELP a x\n# TYPE a gauge\na{l=\"x\",l=\"y\"} 1\n",   // label twice
      "# HELP a x\n# TYPE a gauge\na 1\na 2\n",               // series twice
      "# HELP a x\n# TYPE a gauges\na 1\n",                   // unknown type
      "# HELP a x\na 1\n",                                    // no TYPE
      "# TYPE a gauge\na 1\n",                                // no HELP
      "# HELP a x\n# TYPE a counter\na 1\n",                  // counter without _total
      "# HELP a x\n# TYPE a gauge\n# TYPE a gauge\na 1\n",    // TYPE twice
      "# HELP a x\n# TYPE a gauge\na 1\n# HELP b x\n# TYPE b gauge\nb 1\na{x=\"1\"} 1\n",  // split
      "# HELP a x\n# TYPE a gauge\na 1 12s\n",  // bad time stamp
  };
  for (const char* text : bad) {
    EXPECT_FALSE(ExpositionProblems(text).empty()) << text;
  }
  EXPECT_TRUE(
      ExpositionProblems("# HELP a x\n# TYPE a gauge\na{l=\"q\\\"\\n\"} -Inf 1700\n").empty());
}

TEST(ProcStat, ReadsTheFieldsBehindAnyCommandName) {
  // pid (comm) state ppid pgrp session tty tpgid flags minflt cminflt majflt
  // cmajflt utime stime cutime cstime priority nice threads itrealvalue
  // starttime vsize rss ...
  const std::string tail =
      " S 1 2 3 0 -1 4194560 100 0 0 0 250 50 0 0 20 0 1 0 123456 104857600 5120 "
      "18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0\n";
  for (const std::string name : {"(talvero)", "(tal vero) x)", "()"}) {
    const auto stat = ParseProcStat("4242 " + name + tail);
    ASSERT_TRUE(stat) << name;
    EXPECT_EQ(stat->userTicks, 250u);
    EXPECT_EQ(stat->systemTicks, 50u);
    EXPECT_EQ(stat->startTicks, 123456u);
    EXPECT_EQ(stat->virtualBytes, 104857600u);
    EXPECT_EQ(stat->residentPages, 5120u);
  }
  for (const std::string bad :
       {"", "4242 talvero S 1 2", "4242 (talvero) S 1 2 3\n", "4242 (t) S 1 2 3 0 -1 4 x y"}) {
    EXPECT_FALSE(ParseProcStat(bad)) << bad;
  }
}

TEST(ProcStat, ReadsTheBootTimeAndTheLiveProcess) {
  EXPECT_EQ(ParseBootTime("cpu  1 2 3\nintr 5\nbtime 1765380000\nprocesses 9\n"), 1765380000u);
  EXPECT_FALSE(ParseBootTime("cpu 1 2 3\n"));
  EXPECT_FALSE(ParseBootTime("btime soon\n"));

  const auto live = ReadProcessStats();
  ASSERT_TRUE(live);
  EXPECT_GT(live->residentBytes, 0u);
  EXPECT_GE(live->virtualBytes, live->residentBytes);
  EXPECT_GE(live->openFds, 3u);
  EXPECT_GT(live->maxFds, live->openFds);
  EXPECT_GT(live->startTimeSeconds, 1.6e9);
}

}  // namespace
}  // namespace talvero
