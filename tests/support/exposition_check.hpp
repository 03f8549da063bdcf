#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvero::testing {

// Checks text against the Prometheus text exposition format 0.0.4 as a
// scraper reads it, and the rules promtool's metrics check adds: each family
// has one HELP and one TYPE line before its samples and its samples together,
// names and labels are well formed, values are numbers, no series twice,
// counters end in _total, and the text ends with a line end. Gives one text
// per problem, empty when there is none.
std::vector<std::string> ExpositionProblems(std::string_view text);

}  // namespace talvero::testing
