#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/cipher.hpp"
#include "support/recording_logger.hpp"

namespace talvero::testing {

// A sealed frame as its receiver reads it: bytes 4 up to the checksum
// decrypted with the FrameID as vector, the checksum dropped.
inline std::string Decrypted(std::string_view frame, std::string_view key = "9873") {
  RecordingLogger log;
  std::string out(frame.substr(0, 4));
  out += Encryption(frame.substr(4, frame.size() - 5), static_cast<uint8_t>(frame[2]),
                    static_cast<uint8_t>(frame[3]), key, log);
  return out;
}

}  // namespace talvero::testing
