#include "unit_sim/send_report.hpp"

#include <nlohmann/json.hpp>

#include "common/frame_report.hpp"
#include "protocol/hex_text.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {

int SendExitCode(UnitFrameKind kind, const SendResult& result) {
  if (!result.error.empty() || result.sent.empty()) {
    return 1;
  }
  if (result.frames.empty()) {
    return kind == UnitFrameKind::Ack ? 0 : 1;
  }
  const SystemFrame& answer = result.frames.front();
  if (!answer.Ok() || answer.IsNack()) {
    return 1;
  }
  const auto expected = ExpectedAnswer(kind);
  return !expected || answer.type == static_cast<uint8_t>(*expected) ? 0 : 1;
}

std::string SendResultJson(const UnitOptions& options, const SendResult& result) {
  nlohmann::json frames = nlohmann::json::array();
  for (const SystemFrame& frame : result.frames) {
    frames.push_back(FrameJson(frame));
  }
  const nlohmann::json json = {
      {"host", options.host},
      {"port", options.port},
      {"transport", options.transport == UnitTransport::Tcp ? "tcp" : "udp"},
      {"kind", std::string(KindName(options.kind))},
      {"unit", UnitText(options.unitNr)},
      {"frameID", options.frameID},
      {"encrypted", options.keyText.has_value()},
      {"sent", StrToHexText(result.sent)},
      {"answers", frames},
      {"timedOut", result.timedOut},
      {"error", result.error.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.error)},
      {"ok", SendExitCode(options.kind, result) == 0},
  };
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace talvero
