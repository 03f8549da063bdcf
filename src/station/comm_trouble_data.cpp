#include "station/comm_trouble_data.hpp"

#include <fmt/format.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/decimal.hpp"
#include "base/text_file.hpp"

namespace talvero {
namespace {

constexpr std::string_view kFirstLine = "Comm Troubles";

struct Change {
  size_t unit;
  size_t index;  // level - 1
  int32_t value;
};

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A decimal integer with an optional sign; blanks around it are allowed.
int32_t ReadInteger(std::string_view text, size_t lineNumber) {
  const std::string_view trimmed = TrimBlanks(text);
  const std::optional<int32_t> value = ParseSignedDecimal(trimmed);
  if (!value) {
    throw std::runtime_error(
        fmt::format("line {}: '{}' is not a valid integer value", lineNumber, trimmed));
  }
  return *value;
}

std::vector<std::string_view> SplitAtColons(std::string_view line) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = line.find(':', start);
    if (colon == std::string_view::npos) {
      parts.push_back(line.substr(start));
      return parts;
    }
    parts.push_back(line.substr(start, colon - start));
    start = colon + 1;
  }
}

std::vector<Change> ReadChanges(std::string_view text) {
  std::vector<Change> changes;
  bool currentLayout = false;
  size_t olderPosition = 0;  // unit * 3 + level index of the next bare value
  const std::vector<std::string_view> lines = SplitLines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const size_t lineNumber = i + 1;
    if (TrimBlanks(line) == kFirstLine) {
      currentLayout = true;
      continue;
    }
    if (currentLayout) {
      const std::vector<std::string_view> parts = SplitAtColons(line);
      if (parts.size() != 3) {
        continue;
      }
      const int32_t unit = ReadInteger(parts[0], lineNumber);
      const int32_t level = ReadInteger(parts[1], lineNumber);
      const int32_t value = ReadInteger(parts[2], lineNumber);
      if (level >= 1 && level <= 3) {
        const size_t slot =
            unit < 0 || unit >= static_cast<int32_t>(kUnitCount) ? 0 : static_cast<size_t>(unit);
        changes.push_back({slot, static_cast<size_t>(level - 1), value});
      }
    } else if (olderPosition < kUnitCount * 3) {
      const int32_t value = ReadInteger(line, lineNumber);
      changes.push_back({olderPosition / 3, olderPosition % 3, value});
      ++olderPosition;
    }
  }
  return changes;
}

}  // namespace

void LoadCommTrData(const std::filesystem::path& file, std::vector<CommTrLimit>& limits) {
  if (!std::filesystem::exists(file)) {
    return;
  }
  std::vector<Change> changes;
  try {
    changes = ReadChanges(ReadWholeFile(file));
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(fmt::format("{}: {}", file.string(), e.what()));
  }
  for (const Change& change : changes) {
    if (change.unit < limits.size()) {
      limits[change.unit][change.index] = change.value;
    }
  }
}

bool SaveCommTrData(const std::filesystem::path& file, const std::vector<CommTrLimit>& limits,
                    const CommTrLimit& defaults, Logger& log) {
  std::string text(kFirstLine);
  text += "\r\n";
  for (size_t unit = 0; unit < limits.size() && unit < kUnitCount; ++unit) {
    for (size_t index = 0; index < 3; ++index) {
      if (limits[unit][index] != defaults[index]) {
        text += fmt::format("{}:{}:{}\r\n", unit, index + 1, limits[unit][index]);
      }
    }
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) {
    log.LogErrorText(
        fmt::format("Cannot create file \"{}\". {}", file.string(), std::strerror(errno)));
    return false;
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) {
    log.LogErrorText(fmt::format("Cannot write file \"{}\"", file.string()));
    return false;
  }
  return true;
}

}  // namespace talvero
