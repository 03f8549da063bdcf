#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/logger.hpp"
#include "protocol/vmpc.hpp"

namespace talvero {

// The most data bytes one Encryption call handles.
inline constexpr size_t kCipherWorkSpace = 257;

// Prepares the cipher state from the two key bytes and the two vector bytes.
CipherState CipherKeySetup(uint8_t k0, uint8_t k1, uint8_t iv0, uint8_t iv1);

// Encrypts or decrypts data (the keystream is XORed in) with the key bytes taken
// from keyText and the vector iv0, iv1 (the frame's FrameID, high byte first).
// The key text is padded with "0" in front to four characters, or cut to its
// first four; each pair is read as a hexadecimal byte. A pair that is no
// hexadecimal number, or data longer than the working space, is reported with
// LogErr under "Encryption" and gives an empty result.
std::string Encryption(std::string_view data, uint8_t iv0, uint8_t iv1, std::string_view keyText,
                       Logger& log);

// A frame without its checksum with bytes 4..end encrypted or decrypted, its
// FrameID (bytes 2..3) as vector; bytes 0..3 stay. Nothing when Encryption
// fails; throws std::length_error for a frame shorter than 4 bytes.
std::optional<std::string> CryptFrameBody(std::string_view frame, std::string_view keyText,
                                          Logger& log);

}  // namespace talvero
