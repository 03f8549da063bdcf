#include "engine/frame_processor.hpp"

#include <fmt/format.h>

#include <charconv>
#include <iterator>
#include <optional>
#include <utility>

#include "base/guard.hpp"
#include "base/runtime_metrics.hpp"
#include "engine/frame_reader.hpp"
#include "log/separated.hpp"
#include "protocol/cipher.hpp"
#include "protocol/crc8.hpp"
#include "protocol/hex_text.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {
namespace {

constexpr size_t kAccountOffset = 14;
constexpr size_t kAccountSize = 4;

std::string_view KindText(TransportKind kind) {
  return kind == TransportKind::Tcp ? "TCP" : "UDP";
}

void AppendNumber(std::string& text, uint64_t number) {
  char digits[20];
  const auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
  text.append(digits, end);
}

// "Receive from TCP 10.0.0.5:4001 (15 b.): 0x...", separated on the service
// host. Every frame has one: put together without a format string, in one
// allocation.
std::string ReceiveLine(const Reception& rx, bool separated) {
  constexpr std::string_view kHead = "Receive from ";
  constexpr size_t kNumbersAndMarks = 40;
  std::string line;
  line.reserve(kHead.size() + rx.PeerAddress.size() + rx.HexText.size() + kNumbersAndMarks);
  if (separated) {
    line.push_back('\0');
  }
  line += kHead;
  line += rx.KindText;
  line.push_back(' ');
  line += rx.PeerAddress;
  line.push_back(':');
  AppendNumber(line, rx.PeerPort);
  line += " (";
  AppendNumber(line, rx.Length);
  line += " b.): 0x";
  line += rx.HexText;
  return line;
}

}  // namespace

FrameProcessor::FrameProcessor(UnitTables& tables, UnitDatabase& database, StationOutlet& station,
                               TWatchDog& watchDog, const Settings& settings, const Clock& clock,
                               Logger& log, HostKind host, HostObserver& observer)
    : tables_(tables),
      database_(database),
      station_(station),
      watchDog_(watchDog),
      settings_(settings),
      clock_(clock),
      log_(log),
      host_(host),
      observer_(observer),
      types_(host) {}

void FrameProcessor::ProcessRecMsg(const Route& route, std::string_view frame) noexcept {
  // A frame's changes to a record (its supervision flags, its fields) reach
  // the file as one write.
  Guarded(log_, "ProcessRecMsg", [&] { database_.WriteTogether([&] { Process(route, frame); }); });
}

void FrameProcessor::ImpMsg(std::string_view message) noexcept {
  Guarded(log_, "ProcessRecMsg", [&] { log_.LogImpMsg(message); });
}

void FrameProcessor::Reject(const Route& route, std::string_view message, std::string_view frame) {
  ImpMsg(message);
  SendNACK(route, frame);
}

void FrameProcessor::Process(const Route& route, std::string_view received) {
  if (IsDesktop()) {
    observer_.CountUp(Counter::ReceiveMsg);
  }

  const TransportKind kind = route ? route->Kind() : TransportKind::Unknown;
  if (kind != TransportKind::Tcp && kind != TransportKind::Udp) {
    ImpMsg("UNKN TR.PROTO: CAN NOT PROCESS THIS DATA: " + StrToHexText(received));
    return;
  }

  Metrics().framesReceived[kind == TransportKind::Tcp ? 0 : 1]
                          [received.empty() ? 0 : static_cast<uint8_t>(received[0])]++;

  RecMsg msg;
  Reception rx;
  rx.ReceiveTime = clock_.Now();
  rx.Kind = kind;
  rx.KindText = KindText(kind);
  rx.PeerAddress = route->PeerAddress();
  rx.PeerPort = route->PeerPort();
  rx.Length = received.size();
  rx.HexText = StrToHexText(received);

  log_.LogAllMsg(ReceiveLine(rx, !IsDesktop()));

  if (received.size() < kMinFrameSize) {
    CountFrameRefused(FrameRefusal::Size);
    Reject(route,
           fmt::format("Receive TOO SHORT STRING from {} ({} b.): 0x{}", rx.PeerAddress, rx.Length,
                       rx.HexText),
           received);
    return;
  }
  if (!CheckCrc8(received)) {
    CountFrameRefused(FrameRefusal::Checksum);
    Reject(route,
           fmt::format("Receive msg, containing INVALID CRC. Msg from {} ({} b.): 0x{}",
                       rx.PeerAddress, rx.Length, rx.HexText),
           received);
    return;
  }

  msg.FrameType = static_cast<uint8_t>(received[0]);
  msg.EncrMarker = static_cast<uint8_t>(received[1]);
  // A failed decryption leaves only the four header bytes before the payload;
  // the size test then refuses the frame rather than reading what is not there.
  // A body beyond the cipher's working space fits no frame type: refused by
  // its size before the cipher sees it, since the cipher reports such data as
  // its own failure, and nothing a unit sends may reach the "Errors" log.
  if (msg.EncrMarker != 0 && received.size() - 1 - kUnitIDOffset > kCipherWorkSpace) {
    CountFrameRefused(FrameRefusal::Size);
    Reject(route,
           fmt::format("Receive INVALID Size STRING from {} ({} b.): 0x{}", rx.PeerAddress,
                       rx.Length, rx.HexText),
           received);
    return;
  }
  std::string_view frame = received;
  std::string plain;
  bool payloadComplete = true;
  if (msg.EncrMarker != 0) {
    std::optional<std::string> opened =
        CryptFrameBody(received.substr(0, received.size() - 1), settings_.EncryptionKey, log_);
    payloadComplete = opened.has_value();
    plain = opened ? std::move(*opened) : std::string(received.substr(0, kUnitIDOffset));
    frame = plain;
  }

  msg.FrameID =
      static_cast<uint16_t>(static_cast<uint8_t>(frame[2]) << 8 | static_cast<uint8_t>(frame[3]));
  FrameUnit unit = ReadUnitID(frame);
  msg.UnitNr = unit.UnitNr;
  msg.UnitText = std::move(unit.UnitText);
  if (IsDesktop()) {
    lastUnitText_ = msg.UnitText;
  }

  tables_.EncrByUnit[msg.UnitNr] = msg.EncrMarker;
  tables_.FrameIDByUnit[msg.UnitNr] = msg.FrameID;

  if (!types_.IsAccepted(msg.FrameType)) {
    CountFrameRefused(FrameRefusal::Type);
    Reject(route,
           fmt::format("Receive msg, containing INVALID FrameType (0x{:02X}). Msg from {} ({} b.): "
                       "0x{}",
                       msg.FrameType, rx.PeerAddress, rx.Length, rx.HexText),
           frame);
    return;
  }
  if (msg.EncrMarker >= 2) {
    CountFrameRefused(FrameRefusal::Decryption);
    Reject(route,
           fmt::format("Receive msg, containing INVALID EncrMarker. Msg from {} ({} b.): 0x{}",
                       rx.PeerAddress, rx.Length, rx.HexText),
           frame);
    return;
  }
  if (rx.Length != types_.SizeByType(msg.FrameType) || !payloadComplete) {
    CountFrameRefused(payloadComplete ? FrameRefusal::Size : FrameRefusal::Decryption);
    Reject(route,
           fmt::format("Receive INVALID Size STRING from {} ({} b.): 0x{}", rx.PeerAddress,
                       rx.Length, rx.HexText),
           frame);
    return;
  }

  TUnitStruct& u = tables_.UnitTable[msg.UnitNr];
  if (kind == TransportKind::Tcp) {
    u.TcpConn = route;
    u.UdpPeer.reset();
  } else {
    u.TcpConn.reset();
    u.UdpPeer = route;
  }

  rx.AccountBefore = u.Account.Str();
  if (msg.FrameType == static_cast<uint8_t>(DeviceFrameType::AlarmEvent)) {
    msg.Account = FrameReader(frame).Text(kAccountOffset, kAccountSize);
    u.Account = msg.Account;
  }

  station_.Send_CommRestore_ifNeed(msg.UnitNr);

  if (Dispatch(route, frame, msg, rx)) {
    UpdateUnitRecord(msg, rx);
  }
}

}  // namespace talvero
