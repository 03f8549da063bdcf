#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <optional>

#include "base/guard.hpp"
#include "engine/command_frames.hpp"
#include "engine/date_time_text.hpp"
#include "engine/frame_processor.hpp"
#include "engine/frame_reader.hpp"
#include "engine/unit_nr_text.hpp"
#include "protocol/frame_builders.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/hex_text.hpp"

namespace talvero {
namespace {

// A Temperatures frame has room for this many entries of four bytes from byte 9.
constexpr size_t kMaxTemperatures = 8;

std::string TemperatureLine(uint8_t sensor, uint8_t state, uint8_t degrees) {
  switch (state) {
    case 1:
      return fmt::format("[No.{}] [-CONNECTED-] [{} oC]", sensor, degrees);
    case 2:
      return fmt::format("[No.{}] [-DISCONNECTED/NOT WORKING-] [{} oC]", sensor, degrees);
    case 16:
      return fmt::format("[No.{}] [-CONNECTED-] [-{} oC]", sensor, degrees);
    case 17:
      return fmt::format("[No.{}] [-DISCONNECTED/NOT WORKING-] [-{} oC]", sensor, degrees);
    default:
      return fmt::format("[No.{}] [-NOT CONNECTED-]", sensor);
  }
}

}  // namespace

std::string FrameProcessor::UnitHeader(const RecMsg& msg) const {
  // Every valid frame's line begins so: put together without a format string,
  // with room for what the line adds.
  constexpr size_t kRoom = 64;
  const std::string_view account = tables_.UnitTable[msg.UnitNr].Account.View();
  std::string head;
  head.reserve(msg.UnitText.size() + account.size() + kRoom);
  head += "[Unit ";
  head += msg.UnitText;
  head += "] [Account ";
  head += account;
  head += ']';
  return head;
}

bool FrameProcessor::Dispatch(const Route& route, std::string_view frame, RecMsg& msg,
                              Reception& rx) {
  const FrameReader in(frame);
  const std::string head = UnitHeader(msg);
  switch (static_cast<DeviceFrameType>(msg.FrameType)) {
    case DeviceFrameType::Ack:
      log_.LogAllMsg(head + " [-= Command completed successfully =- ]");
      if (IsDesktop()) {
        observer_.PlaySnd(5);
      }
      break;
    case DeviceFrameType::AlarmEvent:
      AlarmEvent(route, frame, head, msg, rx);
      break;
    case DeviceFrameType::SetTimeRequest:
      SetTimeRequest(route, frame, head, msg);
      break;
    case DeviceFrameType::ChangeUnitNrRequest:
      ChangeUnitNrRequest(route, frame, head, msg);
      break;
    case DeviceFrameType::PingImeiFwVer:
      msg.Imei = in.Text(kImeiOffset, kImeiSize);
      msg.FwRaw = in.Text(23, 3);
      msg.FwVer = fmt::format("{}.{}.{}", in.Byte(23), in.Byte(24), in.Byte(25));
      log_.LogAllMsg(fmt::format("{} [FrameID={}] [Ping/imei/fwVer] [imei={}] [fwVer={}]", head,
                                 msg.FrameID, msg.Imei, msg.FwVer));
      SendACK(route, frame);
      break;
    case DeviceFrameType::Ping:
      log_.LogAllMsg(fmt::format(FMT_COMPILE("{} [FrameID={}] [Ping]"), head, msg.FrameID));
      SendACK(route, frame);
      break;
    case DeviceFrameType::GsmLevelReport:
      rx.GsmLevel = in.Byte(8);
      log_.LogAllMsg(fmt::format("{} [FrameID={}] [GSM Level={}]", head, msg.FrameID, rx.GsmLevel));
      SendACK(route, frame);
      break;
    case DeviceFrameType::Temperatures:
      Temperatures(route, frame, head, msg);
      break;
    default:
      return false;
  }
  return true;
}

void FrameProcessor::AlarmEvent(const Route& route, std::string_view frame, std::string_view head,
                                RecMsg& msg, const Reception& rx) {
  const FrameReader in(frame);
  const std::optional<TDateTime> eventTime = EncodeDateTime(
      {in.Byte(8) + 2000, in.Byte(9), in.Byte(10), in.Byte(11), in.Byte(12), in.Byte(13), 0});
  msg.EventTime = eventTime.value_or(rx.ReceiveTime);
  msg.EventCode = in.Text(18, 4);
  msg.EventCode[0] = msg.EventCode[0] == '1' ? 'E' : 'R';
  msg.Group = in.Text(22, 2);
  msg.Zone = in.Text(24, 3);
  log_.LogAllMsg(fmt::format("{} [FrameID={}] [dt={}] [CID={}-{}-{}]", head, msg.FrameID,
                             DateTimeText(msg.EventTime), msg.EventCode, msg.Group, msg.Zone));
  // Queued first, even when refused for its date: the station must hear of
  // the alarm, and the unit is told it was received only once the line is
  // kept durably (the answer leaves after the journal's sync of this turn).
  const bool kept = station_.AddAlarmEvent(msg.Account, msg.EventCode, msg.Group, msg.Zone);
  if (eventTime && kept) {
    SendACK(route, frame);
  } else {
    SendNACK(route, frame);
  }
}

void FrameProcessor::SetTimeRequest(const Route& route, std::string_view frame,
                                    std::string_view head, const RecMsg& msg) {
  log_.LogAllMsg(fmt::format("{} [FrameID={}] [Set Time Request]", head, msg.FrameID));
  const std::string answer =
      SealCommand(NewTime(frame, clock_.Now()), msg.UnitNr, tables_, settings_, log_);
  RealSend(route, answer);
  log_.LogAllMsg(fmt::format("Send New Time  (0x{})", StrToHexText(answer)));
}

void FrameProcessor::ChangeUnitNrRequest(const Route& route, std::string_view frame,
                                         std::string_view head, RecMsg& msg) {
  msg.Imei = FrameReader(frame).Text(kImeiOffset, kImeiSize);
  log_.LogAllMsg(fmt::format("{} [FrameID={}] [Change UnitNr Request] [imei={}]", head, msg.FrameID,
                             msg.Imei));
  const std::string freeUnitNr = database_.FindFirstFreeUnitNr();
  log_.LogAllMsg(fmt::format("Find First Free UnitNr: {}", freeUnitNr));
  const std::string answer = SealCommand(NewUnitNr(frame, UnitNrOfText(freeUnitNr).value()),
                                         msg.UnitNr, tables_, settings_, log_);
  RealSend(route, answer);
  log_.LogAllMsg(fmt::format("Send New UnitNr=\"{}\"  (0x{})", freeUnitNr, StrToHexText(answer)));
}

void FrameProcessor::Temperatures(const Route& route, std::string_view frame, std::string_view head,
                                  const RecMsg& msg) {
  const FrameReader in(frame);
  const size_t count = in.Byte(8);
  log_.LogAllMsg(fmt::format("{} [FrameID={}] [TEMPERATURES]", head, msg.FrameID));
  // A count above what the frame can hold shows the entries it does hold.
  for (size_t i = 0; i < std::min(count, kMaxTemperatures); ++i) {
    Guarded(log_, "Temperatures", [&] {
      log_.LogAllMsg(TemperatureLine(in.Byte(9 + 4 * i), in.Byte(10 + 4 * i), in.Byte(12 + 4 * i)));
    });
  }
  SendACK(route, frame);
}

}  // namespace talvero
