#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

// Walks a command line of options ("--name value" or "--name=value") and
// positional words. Every refusal is a UsageError naming the argument.
class ArgReader {
 public:
  explicit ArgReader(std::vector<std::string> args) : args_(std::move(args)) {}

  bool Done() const { return next_ >= args_.size(); }
  // The next word; for "--name=value" only "--name", the value waits for Value().
  std::string Next();
  // The value of the option just read by Next().
  std::string Value(std::string_view option);
  // Refuses "--flag=value" for an option that takes no value.
  void NoValue(std::string_view option) const;

  static bool IsOption(std::string_view word) { return word.size() > 2 && word.starts_with("--"); }

 private:
  std::vector<std::string> args_;
  size_t next_ = 0;
  std::optional<std::string> inlineValue_;
};

// A decimal integer within min..max; what names the value in the refusal.
int64_t ParseInteger(std::string_view text, int64_t min, int64_t max, std::string_view what);

// A decimal number within min..max (seconds, a rate).
double ParseNumber(std::string_view text, double min, double max, std::string_view what);

// True when words holds word: an option among those given, a name among a set.
bool Contains(const auto& words, std::string_view word) {
  return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

// Refuses an option given twice; seen collects the names already given.
void RequireOnce(std::vector<std::string>& seen, std::string_view option);

}  // namespace talvero
