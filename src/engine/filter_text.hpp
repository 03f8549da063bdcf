#pragma once

#include <cstdint>
#include <string>

#include "engine/unit_table.hpp"

namespace talvero {

// Rebuilds the one-line summary of a slot that the grid filter searches:
// unit, IMEI, transport, IP:port, first and last message time, firmware,
// account and GSM level. Reuses the text's memory.
void BuildFilterText(uint16_t unit, const TUnitStruct& slot, std::string& text);

}  // namespace talvero
