#include "station_sim/station_options.hpp"

#include <fmt/format.h>

#include "common/arg_reader.hpp"
#include "common/usage_error.hpp"
#include "station_sim/serial_line.hpp"

namespace talvero {
namespace {

constexpr std::string_view kUsage = R"(Usage: talvero-station [options]
Plays the monitoring software on the receiver's serial line: prints every line it
receives with its time and answers it.

Line:
  --device PATH        open this serial device (9600 8N1 raw, or at --baud)
  --pty                create a pseudo-terminal and print its path (the default)
  --link PATH          make PATH a symbolic link to the pseudo-terminal, e.g. DIR/COM1
                       for a receiver started with --dev-dir DIR (removed at the end)
  --listen HOST:PORT   take the line over TCP instead, from a receiver started with
                       --station tcp:HOST:PORT; one connection at a time, the next
                       one awaited when it ends
Answers:
  --answer ack|nak|none  answer each line with 0x06, with 0x15, or never (ack)
  --delay S            answer S seconds after the line (0)
  --baud N             first wait as long as the line and its DC4 take on an N-baud
                       8N1 wire (10 bits a byte)
  --heartbeat S        send the station's heartbeat line every S seconds (off)
Stopping:
  --count N            stop after N new event lines (heartbeats and re-sends not counted)
  --duration S         stop after S seconds
                       (otherwise at Ctrl-C or SIGTERM)
Output:
  --quiet              do not print the lines, only the summary
  --json               end with the summary as one JSON object on its own line
  --help               this text

Exit code: 0 done; 1 the line could not be opened or failed; 2 bad arguments.
)";

}  // namespace

StationOptions ParseStationArgs(const std::vector<std::string>& args) {
  StationOptions o;
  ArgReader reader(args);
  std::vector<std::string> seen;
  bool pty = false;
  while (!reader.Done()) {
    const std::string word = reader.Next();
    if (!ArgReader::IsOption(word)) {
      throw UsageError(fmt::format("unexpected argument \"{}\"", word));
    }
    RequireOnce(seen, word);
    const auto value = [&] { return reader.Value(word); };
    if (word == "--help") {
      reader.NoValue(word);
      o.help = true;
      return o;
    } else if (word == "--device") {
      o.device = value();
      if (o.device->empty()) {
        throw UsageError("--device needs a path");
      }
    } else if (word == "--pty") {
      reader.NoValue(word);
      pty = true;
    } else if (word == "--link") {
      o.link = value();
      if (o.link->empty()) {
        throw UsageError("--link needs a path");
      }
    } else if (word == "--listen") {
      const std::string text = value();
      const size_t colon = text.rfind(':');
      if (colon == std::string::npos || colon == 0) {
        throw UsageError(fmt::format("--listen takes HOST:PORT, not \"{}\"", text));
      }
      const auto port = ParseInteger(text.substr(colon + 1), 1, 65535, word);
      o.listen.emplace(text.substr(0, colon), static_cast<uint16_t>(port));
    } else if (word == "--answer") {
      const std::string text = value();
      if (text == "ack") {
        o.answer = StationAnswer::Ack;
      } else if (text == "nak") {
        o.answer = StationAnswer::Nak;
      } else if (text == "none") {
        o.answer = StationAnswer::None;
      } else {
        throw UsageError(fmt::format("--answer must be ack, nak or none, not \"{}\"", text));
      }
    } else if (word == "--delay") {
      o.delaySeconds = ParseNumber(value(), 0, 3600, word);
    } else if (word == "--baud") {
      o.baud = static_cast<int>(ParseInteger(value(), 50, 4'000'000, word));
    } else if (word == "--heartbeat") {
      o.heartbeatSeconds = ParseNumber(value(), 0.01, 86'400, word);
    } else if (word == "--count") {
      o.count = static_cast<uint64_t>(ParseInteger(value(), 1, INT64_MAX, word));
    } else if (word == "--duration") {
      o.durationSeconds = ParseNumber(value(), 0.01, 30 * 86'400.0, word);
    } else if (word == "--quiet") {
      reader.NoValue(word);
      o.quiet = true;
    } else if (word == "--json") {
      reader.NoValue(word);
      o.json = true;
    } else {
      throw UsageError(fmt::format("unknown option {}", word));
    }
  }
  if (o.listen && (o.device || pty || o.link)) {
    throw UsageError("--listen excludes --device, --pty and --link");
  }
  if (o.device && pty) {
    throw UsageError("--device and --pty exclude each other");
  }
  if (o.device && o.link) {
    throw UsageError("--link belongs to a pseudo-terminal, not to --device");
  }
  if (o.device && o.baud && !IsDeviceBaud(*o.baud)) {
    throw UsageError(fmt::format("a serial device cannot run at {} baud", *o.baud));
  }
  if (o.answer == StationAnswer::None && Contains(seen, "--delay")) {
    throw UsageError("--delay has nothing to delay with --answer none");
  }
  return o;
}

std::string_view StationUsage() {
  return kUsage;
}

}  // namespace talvero
