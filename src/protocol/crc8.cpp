#include "protocol/crc8.hpp"

#include <array>

namespace talvero {
namespace {

// The bitwise rule, one input byte at a time; the table below is built from it.
constexpr uint8_t Crc8Step(uint8_t crc, uint8_t d) {
  for (int bit = 0; bit < 8; ++bit) {
    if (((crc ^ d) & 1) != 0) {
      crc = static_cast<uint8_t>(((crc ^ 0x18) >> 1) | 0x80);
    } else {
      crc = static_cast<uint8_t>(crc >> 1);
    }
    d = static_cast<uint8_t>(d >> 1);
  }
  return crc;
}

constexpr std::array<uint8_t, 256> MakeCrc8Table() {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    table[i] = Crc8Step(0, static_cast<uint8_t>(i));
  }
  return table;
}

constexpr std::array<uint8_t, 256> kCrc8Table = MakeCrc8Table();

}  // namespace

uint8_t Crc8(std::string_view bytes) {
  uint8_t crc = 0;
  for (const char c : bytes) {
    crc = kCrc8Table[crc ^ static_cast<uint8_t>(c)];
  }
  return crc;
}

bool CheckCrc8(std::string_view frame) {
  if (frame.size() < 2) {
    return false;
  }
  return static_cast<uint8_t>(frame.back()) == Crc8(frame.substr(0, frame.size() - 1));
}

std::string AddCrc8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 1);
  out.append(bytes);
  out.push_back(static_cast<char>(Crc8(bytes)));
  return out;
}

}  // namespace talvero
