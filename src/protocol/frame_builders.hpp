#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/date_time.hpp"

namespace talvero {

// The 15-byte acknowledgement of frame, taken in its state at this moment (as
// received, or decrypted): bytes 2..7 copied from it, the time now in bytes
// 8..13, the checksum last. Never encrypted. A frame shorter than its 8-byte
// header is answered with zeros in bytes 2..7.
std::string Ack(std::string_view frame, TDateTime now);
std::string Nack(std::string_view frame, TDateTime now);

// The plain answers before their checksum; SealFrame encrypts them when the unit
// encrypts and appends the checksum. Both keep the request's FrameID and throw
// std::length_error for a request too short to answer.

// 10 bytes: 11, 0, the request's FrameID, the time now.
std::string NewTime(std::string_view request, TDateTime now);

// 23 bytes: 33, 0, the request's FrameID, its IMEI (bytes 8..22), the new unit
// number as nibble bytes, lowest digit first.
std::string NewUnitNr(std::string_view request, uint16_t newUnitNr);

}  // namespace talvero
