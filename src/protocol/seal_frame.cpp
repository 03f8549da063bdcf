#include "protocol/seal_frame.hpp"

#include <stdexcept>

#include "protocol/cipher.hpp"
#include "protocol/crc8.hpp"

namespace talvero {
namespace {

constexpr size_t kCoveredFrom = 4;

}  // namespace

std::string SealFrame(std::string frame, uint8_t encrByUnit, uint16_t& frameIDByUnit,
                      std::string_view keyText, Logger& log) {
  if (encrByUnit == 0) {
    return AddCrc8(frame);
  }
  if (frame.size() < kCoveredFrom) {
    throw std::length_error("an encrypted frame needs its 4 header bytes");
  }
  const auto next = static_cast<uint16_t>(frameIDByUnit + 1);
  const auto iv0 = static_cast<uint8_t>(next >> 8);
  const auto iv1 = static_cast<uint8_t>(next & 0xFF);
  const std::string_view covered = std::string_view(frame).substr(kCoveredFrom);
  std::string encrypted = Encryption(covered, iv0, iv1, keyText, log);
  if (encrypted.size() != covered.size()) {
    return {};
  }
  frame[1] = 1;
  frame[2] = static_cast<char>(iv0);
  frame[3] = static_cast<char>(iv1);
  frame.replace(kCoveredFrom, std::string::npos, encrypted);
  frameIDByUnit = next;
  return AddCrc8(frame);
}

}  // namespace talvero
