#include "protocol/frame_builders.hpp"

#include <fmt/format.h>

#include <stdexcept>

#include "protocol/crc8.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/time_bytes.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {
namespace {

std::string Acknowledgement(DeviceFrameType type, std::string_view frame, TDateTime now) {
  std::string out(kFrameHeaderSize + kTimeBytesSize, '\0');
  out[0] = static_cast<char>(type);
  if (frame.size() >= kFrameHeaderSize) {
    out.replace(2, kFrameHeaderSize - 2, frame.substr(2, kFrameHeaderSize - 2));
  }
  PutTimeBytes(out, kFrameHeaderSize, now);
  return AddCrc8(out);
}

void RequireLength(std::string_view request, size_t needed, std::string_view answer) {
  if (request.size() < needed) {
    throw std::length_error(
        fmt::format("{} needs a request of {} bytes, got {}", answer, needed, request.size()));
  }
}

}  // namespace

std::string Ack(std::string_view frame, TDateTime now) {
  return Acknowledgement(DeviceFrameType::Ack, frame, now);
}

std::string Nack(std::string_view frame, TDateTime now) {
  return Acknowledgement(DeviceFrameType::Nack, frame, now);
}

std::string NewTime(std::string_view request, TDateTime now) {
  RequireLength(request, kUnitIDOffset, "NewTime");
  std::string out(request.substr(0, kUnitIDOffset));
  out.resize(kUnitIDOffset + kTimeBytesSize);
  out[0] = static_cast<char>(DeviceFrameType::NewTime);
  out[1] = 0;
  PutTimeBytes(out, kUnitIDOffset, now);
  return out;
}

std::string NewUnitNr(std::string_view request, uint16_t newUnitNr) {
  RequireLength(request, kImeiOffset + kImeiSize, "NewUnitNr");
  std::string out(request.substr(0, kUnitIDOffset));
  out[0] = static_cast<char>(DeviceFrameType::NewUnitNr);
  out[1] = 0;
  out.append(request.substr(kImeiOffset, kImeiSize));
  out.resize(out.size() + kUnitIDWidth);
  UnitIDToNibbles(newUnitNr, out, kUnitIDOffset + kImeiSize);
  return out;
}

}  // namespace talvero
