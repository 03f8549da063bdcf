#include "unit_sim/unit_options.hpp"

#include <arpa/inet.h>
#include <fmt/format.h>

#include <algorithm>

#include "common/arg_reader.hpp"
#include "common/time_text.hpp"
#include "common/usage_error.hpp"
#include "engine/unit_nr_text.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/hex_text.hpp"

namespace talvero {
namespace {

constexpr std::string_view kUsage =
    R"(Usage: talvero-unit [options] KIND      send one frame as a field unit, print the answer
       talvero-unit load [options]      simulate many units and measure the receiver

KIND: Ping (ping), PingImeiFwVer (imei), GsmLevelReport (gsm), AlarmEvent (alarm),
      SetTimeRequest (settime), ChangeUnitNrRequest (changeunit), Temperatures (temp),
      Ack (ack: a command confirmation), raw HEX (the bytes exactly as given)

Connection:
  --host ADDR          IPv4 address of the receiver (127.0.0.1)
  --port N             port of the receiver (33665)
  --tcp | --udp        transport (--tcp)
  --timeout S          seconds to wait for the connection and for each answer (3)
Frame:
  --unit HHHH          unit number, four hexadecimal digits (0001); load: the first unit
  --frame-id N         FrameID 0..65535 (1); load: the first FrameID of every unit
  --key TEXT           encrypt with this key text (the receiver's EncryptionKey)
  --encrypt            encrypt with the built-in key text 9873
  --imei TEXT          IMEI, 15 characters (356000000000001): imei, changeunit
  --fw A.B.C           firmware version, three numbers 0..255 (1.0.0): imei
  --level N            GSM level 0..255 (5): gsm
  --time "yyyy-mm-dd hh:nn:ss"   event time (now): alarm, ack
  --account XXXX       account, 4 characters (1234; load: the unit number): alarm
  --event QCCC         qualifier (1 new event, anything else restore) and code (1130): alarm
  --group GG           group, 2 characters (01): alarm
  --zone ZZZ           zone, 3 characters (001): alarm
  --sensor N:STATE:DEG a temperature sensor entry, numbers 0..255, up to 8 times: temp
  --listen S           after the answer, go on printing frames (commands) for S seconds
Load mode:
  --units N            simulated units, numbered upward from --unit (100)
  --rate R | --max     frames per second over all units, or as fast as answers come (--max)
  --duration S         seconds of sending (10)
  --frame ping|alarm   the frame every unit sends (ping)
Output:
  --json               print one JSON object instead of text
  --help               this text

Exit code: 0 answered (or, for Ack, nothing refused); 1 Nack, time-out or failure;
2 bad arguments.
)";

// Options of one mode only; the others belong to both.
constexpr std::string_view kSendOnly[] = {"--imei", "--fw",     "--level",
                                          "--time", "--sensor", "--listen"};
constexpr std::string_view kLoadOnly[] = {"--units", "--rate", "--max", "--duration", "--frame"};

bool Printable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string Field(std::string_view option, std::string value, size_t size) {
  if (value.size() != size || !Printable(value)) {
    throw UsageError(
        fmt::format("{} must be {} printable characters, not \"{}\"", option, size, value));
  }
  return value;
}

// Numbers 0..255 separated by sep, exactly count of them.
std::vector<uint8_t> ByteList(std::string_view text, char sep, size_t count,
                              std::string_view option) {
  std::vector<uint8_t> out;
  size_t from = 0;
  while (true) {
    const size_t at = text.find(sep, from);
    const std::string_view part =
        text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from);
    out.push_back(static_cast<uint8_t>(ParseInteger(part, 0, 255, option)));
    if (at == std::string_view::npos) {
      break;
    }
    from = at + 1;
  }
  if (out.size() != count) {
    throw UsageError(fmt::format("{} needs {} numbers separated by \"{}\", not \"{}\"", option,
                                 count, sep, text));
  }
  return out;
}

void SetPositional(UnitOptions& o, std::vector<std::string>& positional) {
  if (positional.empty()) {
    throw UsageError("say which frame to send (KIND), or load");
  }
  const std::string& first = positional[0];
  if (first == "load") {
    o.mode = UnitMode::Load;
  } else if (const auto kind = ParseFrameKind(first)) {
    o.kind = *kind;
  } else {
    throw UsageError(fmt::format("unknown frame kind \"{}\"", first));
  }
  const size_t wanted = o.kind == UnitFrameKind::Raw && o.mode == UnitMode::Send ? 2 : 1;
  if (positional.size() < wanted) {
    throw UsageError("raw needs the frame's bytes as hexadecimal text");
  }
  if (positional.size() > wanted) {
    throw UsageError(fmt::format("unexpected argument \"{}\"", positional[wanted]));
  }
  if (wanted == 2) {
    const HexBytes raw = HexTextToBytes(positional[1]);
    if (raw.Error || raw.Bytes.empty()) {
      throw UsageError(
          fmt::format("\"{}\" is no hexadecimal text of at least one byte", positional[1]));
    }
    o.fields.raw = raw.Bytes;
  }
}

void CheckModes(const UnitOptions& o, const std::vector<std::string>& seen) {
  for (const std::string& option : seen) {
    if (o.mode == UnitMode::Load && Contains(kSendOnly, option)) {
      throw UsageError(fmt::format("{} does not belong to load mode", option));
    }
    if (o.mode == UnitMode::Send && Contains(kLoadOnly, option)) {
      throw UsageError(fmt::format("{} belongs to load mode only", option));
    }
  }
  if (Contains(seen, "--tcp") && Contains(seen, "--udp")) {
    throw UsageError("--tcp and --udp exclude each other");
  }
  if (Contains(seen, "--rate") && Contains(seen, "--max")) {
    throw UsageError("--rate and --max exclude each other");
  }
  if (o.mode == UnitMode::Load && static_cast<size_t>(o.unitNr) + o.units - 1 > 0xFFFF) {
    throw UsageError(
        fmt::format("{} units from unit {:04X} go beyond unit FFFF", o.units, o.unitNr));
  }
  if (o.kind == UnitFrameKind::Raw && o.keyText) {
    throw UsageError("raw bytes go out as given: --key and --encrypt do not apply");
  }
}

}  // namespace

UnitOptions ParseUnitArgs(const std::vector<std::string>& args) {
  UnitOptions o;
  ArgReader reader(args);
  std::vector<std::string> seen;
  std::vector<std::string> positional;
  while (!reader.Done()) {
    const std::string word = reader.Next();
    if (!ArgReader::IsOption(word)) {
      positional.push_back(word);
      continue;
    }
    if (word != "--sensor") {
      RequireOnce(seen, word);
    } else {
      seen.push_back(word);
    }
    const auto value = [&] { return reader.Value(word); };
    if (word == "--help") {
      reader.NoValue(word);
      o.mode = UnitMode::Help;
      return o;
    } else if (word == "--json") {
      reader.NoValue(word);
      o.json = true;
    } else if (word == "--host") {
      o.host = value();
      in_addr address{};
      if (inet_pton(AF_INET, o.host.c_str(), &address) != 1) {
        throw UsageError(fmt::format("--host must be a dotted IPv4 address, not \"{}\"", o.host));
      }
    } else if (word == "--port") {
      o.port = static_cast<uint16_t>(ParseInteger(value(), 1, 65535, word));
    } else if (word == "--tcp" || word == "--udp") {
      reader.NoValue(word);
      o.transport = word == "--tcp" ? UnitTransport::Tcp : UnitTransport::Udp;
    } else if (word == "--timeout") {
      o.timeoutSeconds = ParseNumber(value(), 0.01, 3600, word);
    } else if (word == "--unit") {
      const std::string text = value();
      const std::optional<uint16_t> unitNr = UnitNrOfText(text);
      if (!unitNr) {
        throw UsageError(fmt::format("--unit must be four hexadecimal digits, not \"{}\"", text));
      }
      o.unitNr = *unitNr;
    } else if (word == "--frame-id") {
      o.frameID = static_cast<uint16_t>(ParseInteger(value(), 0, 65535, word));
    } else if (word == "--key") {
      const std::string text = value();
      if (!KeyTextUsable(text)) {
        throw UsageError(fmt::format("the cipher cannot use the key text \"{}\"", text));
      }
      o.keyText = text;
    } else if (word == "--encrypt") {
      reader.NoValue(word);
    } else if (word == "--imei") {
      o.fields.imei = Field(word, value(), kImeiSize);
    } else if (word == "--fw") {
      const std::vector<uint8_t> parts = ByteList(value(), '.', 3, word);
      std::copy(parts.begin(), parts.end(), o.fields.firmware.begin());
    } else if (word == "--level") {
      o.fields.gsmLevel = static_cast<uint8_t>(ParseInteger(value(), 0, 255, word));
    } else if (word == "--time") {
      const std::string text = value();
      o.fields.time = ParseDateTimeText(text);
      if (!o.fields.time || DecodeDateTime(*o.fields.time).year < 2000 ||
          DecodeDateTime(*o.fields.time).year > 2255) {
        throw UsageError(fmt::format(
            "--time must be a date and time \"yyyy-mm-dd hh:nn:ss\" of the years 2000 to 2255, "
            "not \"{}\"",
            text));
      }
    } else if (word == "--account") {
      o.fields.account = Field(word, value(), 4);
      o.accountGiven = true;
    } else if (word == "--event") {
      o.fields.event = Field(word, value(), 4);
    } else if (word == "--group") {
      o.fields.group = Field(word, value(), 2);
    } else if (word == "--zone") {
      o.fields.zone = Field(word, value(), 3);
    } else if (word == "--sensor") {
      if (o.fields.sensors.size() == kTemperatureEntries) {
        throw UsageError(fmt::format("at most {} times --sensor", kTemperatureEntries));
      }
      const std::vector<uint8_t> parts = ByteList(value(), ':', 3, word);
      o.fields.sensors.push_back({parts[0], parts[1], parts[2]});
    } else if (word == "--listen") {
      o.listenSeconds = ParseNumber(value(), 0, 3600, word);
    } else if (word == "--units") {
      o.units = static_cast<size_t>(ParseInteger(value(), 1, 65536, word));
    } else if (word == "--rate") {
      o.rate = ParseNumber(value(), 0.01, 10'000'000, word);
    } else if (word == "--max") {
      reader.NoValue(word);
    } else if (word == "--duration") {
      o.durationSeconds = ParseNumber(value(), 0.1, 86'400, word);
    } else if (word == "--frame") {
      const std::string text = value();
      if (text != "ping" && text != "alarm") {
        throw UsageError(fmt::format("--frame must be ping or alarm, not \"{}\"", text));
      }
      o.kind = text == "ping" ? UnitFrameKind::Ping : UnitFrameKind::AlarmEvent;
    } else {
      throw UsageError(fmt::format("unknown option {}", word));
    }
  }
  SetPositional(o, positional);
  if (!o.keyText && Contains(seen, "--encrypt")) {
    o.keyText = std::string(kBuiltInKeyText);
  }
  CheckModes(o, seen);
  return o;
}

std::string_view UnitUsage() {
  return kUsage;
}

}  // namespace talvero
