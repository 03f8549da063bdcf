#include "common/arg_reader.hpp"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <utility>

#include "base/decimal.hpp"
#include "common/usage_error.hpp"

namespace talvero {

std::string ArgReader::Next() {
  inlineValue_.reset();
  std::string word = args_.at(next_++);
  const size_t equals = word.find('=');
  if (IsOption(word) && equals != std::string::npos) {
    inlineValue_ = word.substr(equals + 1);
    word.resize(equals);
  }
  return word;
}

std::string ArgReader::Value(std::string_view option) {
  if (inlineValue_) {
    return *std::exchange(inlineValue_, std::nullopt);
  }
  if (Done()) {
    throw UsageError(fmt::format("{} needs a value", option));
  }
  return args_[next_++];
}

void ArgReader::NoValue(std::string_view option) const {
  if (inlineValue_) {
    throw UsageError(fmt::format("{} takes no value", option));
  }
}

int64_t ParseInteger(std::string_view text, int64_t min, int64_t max, std::string_view what) {
  const std::optional<int64_t> value = ParseDecimal<int64_t>(text);
  if (!value || *value < min || *value > max) {
    throw UsageError(
        fmt::format("{} must be a whole number from {} to {}, not \"{}\"", what, min, max, text));
  }
  return *value;
}

double ParseNumber(std::string_view text, double min, double max, std::string_view what) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value) || value < min ||
      value > max) {
    throw UsageError(
        fmt::format("{} must be a number from {} to {}, not \"{}\"", what, min, max, text));
  }
  return value;
}

void RequireOnce(std::vector<std::string>& seen, std::string_view option) {
  if (Contains(seen, option)) {
    throw UsageError(fmt::format("{} is given twice", option));
  }
  seen.emplace_back(option);
}

}  // namespace talvero
