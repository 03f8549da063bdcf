#include "protocol/cipher.hpp"

#include <fmt/format.h>

#include <array>
#include <stdexcept>

#include "base/guard.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/hex_text.hpp"

namespace talvero {
namespace {

constexpr size_t kKeyTextSize = 4;

uint8_t KeyByte(std::string_view pair) {
  const uint8_t hi = HexDigitValue(pair[0]);
  const uint8_t lo = HexDigitValue(pair[1]);
  if (hi > 15 || lo > 15) {
    throw std::invalid_argument(fmt::format("key pair '{}' is no hexadecimal number", pair));
  }
  return static_cast<uint8_t>((hi << 4) | lo);
}

// Derived on every call, so a changed key counts from the next frame on.
std::array<uint8_t, 2> KeyBytes(std::string_view keyText) {
  std::string four(kKeyTextSize, '0');
  if (keyText.size() < kKeyTextSize) {
    four.replace(kKeyTextSize - keyText.size(), keyText.size(), keyText);
  } else {
    four.assign(keyText.substr(0, kKeyTextSize));
  }
  const std::string_view text = four;
  return {KeyByte(text.substr(0, 2)), KeyByte(text.substr(2, 2))};
}

}  // namespace

CipherState CipherKeySetup(uint8_t k0, uint8_t k1, uint8_t iv0, uint8_t iv1) {
  const std::array<uint8_t, 2> key = {k0, k1};
  const std::array<uint8_t, 2> iv = {iv0, iv1};
  return VmpcKeySetup(key, iv);
}

std::string Encryption(std::string_view data, uint8_t iv0, uint8_t iv1, std::string_view keyText,
                       Logger& log) {
  std::string result;
  Guarded(log, "Encryption", [&] {
    if (data.size() > kCipherWorkSpace) {
      throw std::length_error(fmt::format("{} bytes exceed the working space of {} bytes",
                                          data.size(), kCipherWorkSpace));
    }
    const auto key = KeyBytes(keyText);
    CipherState state = CipherKeySetup(key[0], key[1], iv0, iv1);
    std::string out(data);
    for (char& c : out) {
      c = static_cast<char>(static_cast<uint8_t>(c) ^ NextKeystreamByte(state));
    }
    result = std::move(out);
  });
  return result;
}

std::optional<std::string> CryptFrameBody(std::string_view frame, std::string_view keyText,
                                          Logger& log) {
  if (frame.size() < kUnitIDOffset) {
    throw std::length_error("an encrypted frame needs its 4 header bytes");
  }
  const std::string_view body = frame.substr(kUnitIDOffset);
  std::string crypted = Encryption(body, static_cast<uint8_t>(frame[2]),
                                   static_cast<uint8_t>(frame[3]), keyText, log);
  if (crypted.size() != body.size()) {
    return std::nullopt;
  }
  std::string out(frame.substr(0, kUnitIDOffset));
  out += crypted;
  return out;
}

}  // namespace talvero
