#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "common/system_frame.hpp"

namespace talvero {

// Text bytes shown as they are, others as \xNN, so a frame's text fields
// never garble a terminal.
std::string PrintableText(std::string_view bytes);

// A frame from the receiver for a person: its name (a Nack called out), size,
// bytes, then the fields it carries.
std::string DescribeFrame(const SystemFrame& frame);

nlohmann::json FrameJson(const SystemFrame& frame);

}  // namespace talvero
