#pragma once

#include <array>
#include <cstddef>
#include <ctime>

namespace talvero {

inline constexpr size_t kEchoAnswerSize = 15;

// The 15 bytes the echo server sends for every read: the shape of the
// receiver's Ack to the frame (its header, the time, CRC-8), so the load
// generator counts it as answered, and a Nack when the read is shorter than a
// header. No other check of the frame is made.
std::array<char, kEchoAnswerSize> EchoAnswer(const char* frame, size_t length, std::time_t now);

}  // namespace talvero
