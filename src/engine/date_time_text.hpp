#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/date_time.hpp"

namespace talvero {

// Room for "yyyy-mm-dd hh:nn:ss".
using DateTimeTextBuffer = std::array<char, 19>;

// A date and time as the texts shown to the operator: "yyyy-mm-dd hh:nn:ss",
// 24-hour clock. Zero ("never") gives an empty text. This form writes into the
// caller's buffer and allocates nothing.
std::string_view DateTimeText(TDateTime moment, DateTimeTextBuffer& buffer);
std::string DateTimeText(TDateTime moment);

// Reads a text of that form back; nothing for any other text or an invalid date.
std::optional<TDateTime> ParseDateTimeText(std::string_view text);

}  // namespace talvero
