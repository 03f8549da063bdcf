#include "echo_answer.hpp"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "protocol/crc8.hpp"

namespace talvero {
namespace {

constexpr size_t kHeaderSize = 8;

}  // namespace

std::array<char, kEchoAnswerSize> EchoAnswer(const char* frame, size_t length, std::time_t now) {
  std::array<char, kEchoAnswerSize> out{};
  const bool whole = length >= kHeaderSize;
  if (whole) {
    std::memcpy(out.data(), frame, kHeaderSize);
  }
  out[0] = whole ? 1 : 2;
  out[1] = 0;
  std::tm local{};
  localtime_r(&now, &local);
  const int fields[6] = {local.tm_year + 1900 - 2000,
                         local.tm_mon + 1,
                         local.tm_mday,
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec};
  for (size_t i = 0; i < 6; ++i) {
    out[kHeaderSize + i] = static_cast<char>(static_cast<uint8_t>(fields[i] & 0xFF));
  }
  out[kEchoAnswerSize - 1] =
      static_cast<char>(Crc8(std::string_view(out.data(), kEchoAnswerSize - 1)));
  return out;
}

}  // namespace talvero
