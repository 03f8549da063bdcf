#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace talvero {

// The state of the VMPC stream cipher: a permutation of the 256 byte values and
// the two byte variables s and n.
struct CipherState {
  std::array<uint8_t, 256> P{};
  uint8_t s = 0;
  uint8_t n = 0;
};

// VMPC key scheduling with an initialisation vector: a key pass of 768 steps,
// then a vector pass of 768 steps carrying s on. Throws std::invalid_argument
// for an empty key or vector.
CipherState VmpcKeySetup(std::span<const uint8_t> key, std::span<const uint8_t> iv);

// The next byte of the keystream; advances the state.
uint8_t NextKeystreamByte(CipherState& state);

}  // namespace talvero
