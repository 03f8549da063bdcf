#include "support/exposition_check.hpp"

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

namespace talvero::testing {
namespace {

bool IsNameStart(char c, bool colonAllowed) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || (colonAllowed && c == ':');
}

bool IsNameChar(char c, bool colonAllowed) {
  return IsNameStart(c, colonAllowed) || std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Reads a metric (colonAllowed) or label name at the front of text.
std::string TakeName(std::string_view& text, bool colonAllowed) {
  size_t length = 0;
  if (!text.empty() && IsNameStart(text[0], colonAllowed)) {
    length = 1;
    while (length < text.size() && IsNameChar(text[length], colonAllowed)) {
      ++length;
    }
  }
  std::string name(text.substr(0, length));
  text.remove_prefix(length);
  return name;
}

bool IsNumber(std::string_view text) {
  if (text == "+Inf" || text == "-Inf" || text == "NaN") {
    return true;
  }
  const std::string copy(text);
  char* end = nullptr;
  std::strtod(copy.c_str(), &end);
  return !copy.empty() && end == copy.c_str() + copy.size() &&
         copy.find_first_of("xXpP") == std::string::npos;
}

// Reads {name="value",...}; gives the labels in a canonical form, or an error.
bool TakeLabels(std::string_view& text, std::string& canonical, std::string& error) {
  if (text.empty() || text[0] != '{') {
    return true;
  }
  text.remove_prefix(1);
  std::set<std::string> names;
  while (!text.empty() && text[0] != '}') {
    const std::string name = TakeName(text, false);
    if (name.empty()) {
      error = "bad label name";
      return false;
    }
    if (!names.insert(name).second) {
      error = "label " + name + " twice";
      return false;
    }
    if (text.size() < 2 || text[0] != '=' || text[1] != '"') {
      error = "label " + name + " without =\"value\"";
      return false;
    }
    text.remove_prefix(2);
    std::string value;
    while (!text.empty() && text[0] != '"') {
      if (text[0] == '\\') {
        if (text.size() < 2 || (text[1] != '\\' && text[1] != '"' && text[1] != 'n')) {
          error = "bad escape in label " + name;
          return false;
        }
        value += text.substr(0, 2);
        text.remove_prefix(2);
      } else if (text[0] == '\n') {
        error = "line end in label " + name;
        return false;
      } else {
        value += text[0];
        text.remove_prefix(1);
      }
    }
    if (text.empty()) {
      error = "label " + name + " not closed";
      return false;
    }
    text.remove_prefix(1);
    canonical += name + "=" + value + ",";
    if (!text.empty() && text[0] == ',') {
      text.remove_prefix(1);
    }
  }
  if (text.empty()) {
    error = "labels not closed";
    return false;
  }
  text.remove_prefix(1);
  return true;
}

// The family a sample name belongs to, given the types declared so far.
std::string FamilyOf(const std::string& name, const std::map<std::string, std::string>& types) {
  for (const char* suffix : {"_bucket", "_sum", "_count"}) {
    const std::string_view s = suffix;
    if (name.size() > s.size() && name.ends_with(s)) {
      const std::string base = name.substr(0, name.size() - s.size());
      const auto type = types.find(base);
      if (type != types.end() && (type->second == "histogram" || type->second == "summary")) {
        return base;
      }
    }
  }
  return name;
}

}  // namespace

std::vector<std::string> ExpositionProblems(std::string_view text) {
  std::vector<std::string> problems;
  if (text.empty() || text.back() != '\n') {
    problems.push_back("the text does not end with a line end");
  }
  std::map<std::string, std::string> types;
  std::set<std::string> helps;
  std::set<std::string> finished;  // families whose samples are behind us
  std::set<std::string> series;
  std::string current;
  size_t lineNumber = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    const auto problem = [&](const std::string& what) {
      problems.push_back("line " + std::to_string(lineNumber) + ": " + what);
    };
    const auto enter = [&](const std::string& family) {
      if (family != current) {
        if (finished.count(family) != 0) {
          problem(family + " is split in two places");
        }
        if (!current.empty()) {
          finished.insert(current);
        }
        current = family;
      }
    };
    if (line.empty()) {
      continue;
    }
    if (line[0] == '#') {
      std::string_view rest = line.substr(1);
      if (!rest.starts_with(" HELP ") && !rest.starts_with(" TYPE ")) {
        continue;  // a plain comment
      }
      const bool isType = rest.starts_with(" TYPE ");
      rest.remove_prefix(6);
      const std::string name = TakeName(rest, true);
      if (name.empty() || (!rest.empty() && rest[0] != ' ')) {
        problem("bad metric name in HELP or TYPE");
        continue;
      }
      enter(name);
      if (isType) {
        const std::string type(rest.empty() ? rest : rest.substr(1));
        if (type != "counter" && type != "gauge" && type != "histogram" && type != "summary" &&
            type != "untyped") {
          problem("unknown type \"" + type + "\" of " + name);
        }
        if (!types.emplace(name, type).second) {
          problem("second TYPE of " + name);
        }
        if (series.lower_bound(name + "{") != series.end() &&
            series.lower_bound(name + "{")->starts_with(name + "{")) {
          problem("TYPE of " + name + " after its samples");
        }
        if (type == "counter" && !name.ends_with("_total")) {
          problem("counter " + name + " does not end in _total");
        }
      } else if (!helps.insert(name).second) {
        problem("second HELP of " + name);
      }
      continue;
    }
    std::string_view rest = line;
    const std::string name = TakeName(rest, true);
    if (name.empty()) {
      problem("bad metric name");
      continue;
    }
    std::string labels;
    std::string error;
    if (!TakeLabels(rest, labels, error)) {
      problem(error);
      continue;
    }
    if (rest.empty() || rest[0] != ' ') {
      problem("no value for " + name);
      continue;
    }
    rest.remove_prefix(1);
    const size_t blank = rest.find(' ');
    const std::string_view value = rest.substr(0, blank);
    if (!IsNumber(value)) {
      problem("value \"" + std::string(value) + "\" of " + name + " is not a number");
    }
    if (blank != std::string_view::npos) {
      const std::string_view stamp = rest.substr(blank + 1);
      if (stamp.empty() || stamp.find_first_not_of("-0123456789") != std::string_view::npos) {
        problem("bad time stamp of " + name);
      }
    }
    const std::string family = FamilyOf(name, types);
    enter(family);
    if (types.count(family) == 0) {
      problem(name + " has no TYPE line before it");
    }
    if (helps.count(family) == 0) {
      problem(name + " has no HELP line before it");
    }
    if (!series.insert(name + "{" + labels + "}").second) {
      problem(name + "{" + labels + "} twice");
    }
  }
  return problems;
}

}  // namespace talvero::testing
