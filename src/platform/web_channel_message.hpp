#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace talvero {

// One message of a page on the channel, read: a JSON object whose "type" is a
// non-empty string. Anything else leaves message empty and says why in error.
struct ChannelMessage {
  nlohmann::json message;
  std::string error;
  bool Ok() const { return error.empty(); }
};

// Nesting deeper than this is refused before parsing, so no handler that walks
// a message can run out of stack on "[[[[...".
constexpr size_t kMaxChannelNesting = 32;

ChannelMessage ReadChannelMessage(std::string_view text);

// The answer to a message that could not be taken:
// {"type":"error","error":...}, with the "id" of the request when it had one.
nlohmann::json ChannelError(std::string_view error, const nlohmann::json& request);

// A message as its text on the channel. Text that is not UTF-8 (log lines of
// unit frames may hold any byte) is sent with replacement characters, never dropped.
std::string ChannelText(const nlohmann::json& message);

}  // namespace talvero
