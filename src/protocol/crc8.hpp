#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvero {

// Dallas/Maxim 1-Wire CRC-8 (reflected polynomial 0x8C, start 0, no final XOR);
// 0 for an empty string.
uint8_t Crc8(std::string_view bytes);

// True when the frame has at least 2 bytes and its last byte is the Crc8 of the
// bytes before it.
bool CheckCrc8(std::string_view frame);

// The bytes followed by their Crc8.
std::string AddCrc8(std::string_view bytes);

}  // namespace talvero
