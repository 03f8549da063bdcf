#include "common/frame_report.hpp"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <nlohmann/json.hpp>
#include <vector>

#include "engine/date_time_text.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/hex_text.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {
namespace {

std::string TimeText(const SystemFrame& f) {
  return f.time ? DateTimeText(*f.time)
                : fmt::format("0x{} (no valid date)", StrToHexText(f.timeBytes));
}

std::vector<std::string> Fields(const SystemFrame& f) {
  std::vector<std::string> out;
  if (f.unitNr) {
    out.push_back(fmt::format("unit {}", UnitText(*f.unitNr)));
  }
  out.push_back(fmt::format("FrameID {}", f.frameID));
  if (!f.timeBytes.empty()) {
    out.push_back(fmt::format("time {}", TimeText(f)));
  }
  if (!f.imei.empty()) {
    out.push_back(fmt::format("IMEI {}", PrintableText(f.imei)));
  }
  if (f.newUnitNr) {
    out.push_back(fmt::format("new unit number {}", UnitText(*f.newUnitNr)));
  } else if (f.NamesNewUnit()) {
    out.push_back("new unit number unreadable");
  }
  if (!f.payload.empty()) {
    out.push_back(fmt::format("payload 0x{}", StrToHexText(f.payload)));
  }
  return out;
}

}  // namespace

std::string PrintableText(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    if (c >= 0x20 && c <= 0x7E && c != '\\') {
      out.push_back(c);
    } else {
      out += fmt::format("\\x{:02X}", static_cast<uint8_t>(c));
    }
  }
  return out;
}

std::string DescribeFrame(const SystemFrame& f) {
  const std::string hex = StrToHexText(f.bytes);
  if (!f.Ok()) {
    return fmt::format("unreadable frame, {} ({} b.): 0x{}", CheckText(f.check), f.bytes.size(),
                       hex);
  }
  const std::string name = f.IsNack() ? "NACK: the receiver refused the frame" : f.name;
  std::string out = fmt::format("{} ({} b.{}): 0x{}", name, f.bytes.size(),
                                f.marker == 1 ? ", encrypted" : "", hex);
  const std::vector<std::string> fields = Fields(f);
  out += "\n  " + fmt::format("{}", fmt::join(fields, ", "));
  return out;
}

nlohmann::json FrameJson(const SystemFrame& f) {
  nlohmann::json out = {
      {"check", std::string(CheckText(f.check))},
      {"bytes", f.bytes.size()},
      {"hex", StrToHexText(f.bytes)},
  };
  if (f.bytes.size() < kMinFrameSize) {
    return out;
  }
  out["type"] = f.type;
  out["encrypted"] = f.marker == 1;
  out["frameID"] = f.frameID;
  if (!f.Ok()) {
    return out;
  }
  out["name"] = f.name;
  out["nack"] = f.IsNack();
  if (f.unitNr) {
    out["unit"] = UnitText(*f.unitNr);
  }
  if (!f.timeBytes.empty()) {
    out["time"] = f.time ? nlohmann::json(DateTimeText(*f.time)) : nlohmann::json(nullptr);
    out["timeBytes"] = StrToHexText(f.timeBytes);
  }
  if (f.NamesNewUnit()) {
    out["imei"] = PrintableText(f.imei);
    out["newUnit"] = f.newUnitNr ? nlohmann::json(UnitText(*f.newUnitNr)) : nlohmann::json(nullptr);
  }
  if (!f.payload.empty()) {
    out["payload"] = StrToHexText(f.payload);
  }
  return out;
}

}  // namespace talvero
