#include "protocol/seal_frame.hpp"

#include <optional>
#include <stdexcept>

#include "protocol/cipher.hpp"
#include "protocol/crc8.hpp"
#include "protocol/frame_types.hpp"

namespace talvero {

std::string SealFrame(std::string frame, uint8_t encrByUnit, uint16_t& frameIDByUnit,
                      std::string_view keyText, Logger& log) {
  if (encrByUnit == 0) {
    return AddCrc8(frame);
  }
  if (frame.size() < kUnitIDOffset) {
    throw std::length_error("an encrypted frame needs its 4 header bytes");
  }
  const auto next = static_cast<uint16_t>(frameIDByUnit + 1);
  frame[1] = 1;
  frame[2] = static_cast<char>(next >> 8);
  frame[3] = static_cast<char>(next & 0xFF);
  const std::optional<std::string> sealed = CryptFrameBody(frame, keyText, log);
  if (!sealed) {
    return {};
  }
  frameIDByUnit = next;
  return AddCrc8(*sealed);
}

}  // namespace talvero
