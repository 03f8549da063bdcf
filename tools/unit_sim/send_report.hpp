#pragma once

#include <string>
#include <vector>

#include "common/system_frame.hpp"
#include "unit_sim/unit_options.hpp"

namespace talvero {

// What came of sending one frame as a unit.
struct SendResult {
  std::string sent;                 // the frame as it went out; empty when it did not
  std::vector<SystemFrame> frames;  // the answer first, then what followed while listening
  bool timedOut = false;            // nothing came within the time-out
  std::string error;                // the connection or the transfer failed
};

// 0 when the receiver gave the answer this kind of frame gets (for a unit's
// Ack, which gets none, when nothing came back; for raw bytes any readable
// answer but a Nack); 1 for a Nack, another or an unreadable answer, a
// time-out or a failure.
int SendExitCode(UnitFrameKind kind, const SendResult& result);

std::string SendResultJson(const UnitOptions& options, const SendResult& result);

}  // namespace talvero
