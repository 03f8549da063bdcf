#pragma once

#include <memory>

#include "engine/custom_commands.hpp"
#include "engine/unit_commands.hpp"
#include "frame_engine.hpp"

namespace talvero::testing {

// The desktop engine with the operator's unit commands over it.
struct CommandDesk {
  CommandDesk() : commands(e.tables, e.processor, custom, e.settings, e.time, e.log, e.observer) {}

  FrameEngine e{HostKind::Desktop};
  CustomCommands custom;
  UnitCommands commands;
};

}  // namespace talvero::testing
