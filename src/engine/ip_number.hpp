#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvero {

// Dotted IPv4 text as the 32-bit number kept in a unit record, first number in
// the most significant byte. Takes any text: a part that is no decimal number
// counts as 0, and only the low 8 bits of each part are used.
uint32_t IPTextToNumber(std::string_view text);

// "%d.%d.%d.%d" of the four bytes, most significant first.
std::string IPNumberToText(uint32_t number);

}  // namespace talvero
