#include "protocol/vmpc.hpp"

#include <stdexcept>
#include <utility>

namespace talvero {
namespace {

constexpr int kPassSteps = 768;

// uint8_t arithmetic wraps modulo 256, which is what every index here needs.
void SchedulePass(CipherState& st, std::span<const uint8_t> bytes) {
  for (int m = 0; m < kPassSteps; ++m) {
    const auto n = static_cast<uint8_t>(m);
    st.s = st.P[static_cast<uint8_t>(st.s + st.P[n] + bytes[m % bytes.size()])];
    std::swap(st.P[n], st.P[st.s]);
  }
}

}  // namespace

CipherState VmpcKeySetup(std::span<const uint8_t> key, std::span<const uint8_t> iv) {
  if (key.empty() || iv.empty()) {
    throw std::invalid_argument("cipher key and vector must not be empty");
  }
  CipherState st;
  for (int i = 0; i < 256; ++i) {
    st.P[i] = static_cast<uint8_t>(i);
  }
  SchedulePass(st, key);
  SchedulePass(st, iv);
  st.n = 0;
  return st;
}

uint8_t NextKeystreamByte(CipherState& st) {
  st.s = st.P[static_cast<uint8_t>(st.s + st.P[st.n])];
  const uint8_t out = st.P[static_cast<uint8_t>(st.P[st.P[st.s]] + 1)];
  std::swap(st.P[st.n], st.P[st.s]);
  ++st.n;
  return out;
}

}  // namespace talvero
