#include "platform/web_channel_message.hpp"

#include <algorithm>

namespace talvero {
namespace {

// The deepest nesting of arrays and objects, counting brackets outside strings.
size_t NestingDepth(std::string_view text) {
  size_t depth = 0;
  size_t deepest = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

ChannelMessage Refused(std::string error) {
  return {nlohmann::json(), std::move(error)};
}

}  // namespace

ChannelMessage ReadChannelMessage(std::string_view text) {
  if (NestingDepth(text) > kMaxChannelNesting) {
    return Refused("message nested too deeply");
  }
  nlohmann::json message = nlohmann::json::parse(text, nullptr, false);
  if (message.is_discarded()) {
    return Refused("message is not JSON");
  }
  if (!message.is_object()) {
    return Refused("message is not a JSON object");
  }
  const auto type = message.find("type");
  if (type == message.end() || !type->is_string() || type->get_ref<const std::string&>().empty()) {
    return Refused("message has no \"type\" text");
  }
  return {std::move(message), {}};
}

nlohmann::json ChannelError(std::string_view error, const nlohmann::json& request) {
  nlohmann::json answer = {{"type", "error"}, {"error", error}};
  if (request.is_object()) {
    if (const auto id = request.find("id"); id != request.end()) {
      answer["id"] = *id;
    }
    if (const auto type = request.find("type"); type != request.end() && type->is_string()) {
      answer["request"] = *type;
    }
  }
  return answer;
}

std::string ChannelText(const nlohmann::json& message) {
  return message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace talvero
