#include "hosts/process_stats.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "base/decimal.hpp"

namespace talvero {
namespace {

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < text.size()) {
    const size_t begin = text.find_first_not_of(" \n", at);
    if (begin == std::string_view::npos) {
      break;
    }
    const size_t end = std::min(text.find_first_of(" \n", begin), text.size());
    words.push_back(text.substr(begin, end - begin));
    at = end;
  }
  return words;
}

std::optional<std::string> ReadSmallFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::optional<ProcStat> ParseProcStat(std::string_view text) {
  const size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string_view::npos) {
    return std::nullopt;
  }
  // Field 3 (state) is the first word after the name; utime is field 14.
  const std::vector<std::string_view> words = Words(text.substr(nameEnd + 1));
  constexpr size_t kFirstField = 3;
  const auto field = [&](size_t number) -> std::optional<uint64_t> {
    const size_t index = number - kFirstField;
    return index < words.size() ? ParseDecimal<uint64_t>(words[index]) : std::nullopt;
  };
  const auto utime = field(14);
  const auto stime = field(15);
  const auto start = field(22);
  const auto vsize = field(23);
  const auto rss = field(24);
  if (!utime || !stime || !start || !vsize || !rss) {
    return std::nullopt;
  }
  return ProcStat{*utime, *stime, *start, *vsize, *rss};
}

std::optional<uint64_t> ParseBootTime(std::string_view text) {
  const std::vector<std::string_view> words = Words(text);
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    if (words[i] == "btime") {
      return ParseDecimal<uint64_t>(words[i + 1]);
    }
  }
  return std::nullopt;
}

std::optional<ProcessStats> ReadProcessStats() {
  const auto statText = ReadSmallFile("/proc/self/stat");
  const auto bootText = ReadSmallFile("/proc/stat");
  if (!statText || !bootText) {
    return std::nullopt;
  }
  const auto stat = ParseProcStat(*statText);
  const auto boot = ParseBootTime(*bootText);
  const long ticks = ::sysconf(_SC_CLK_TCK);
  const long page = ::sysconf(_SC_PAGESIZE);
  if (!stat || !boot || ticks <= 0 || page <= 0) {
    return std::nullopt;
  }
  ProcessStats out;
  const auto perSecond = static_cast<double>(ticks);
  out.cpuSeconds = static_cast<double>(stat->userTicks + stat->systemTicks) / perSecond;
  out.residentBytes = stat->residentPages * static_cast<uint64_t>(page);
  out.virtualBytes = stat->virtualBytes;
  out.startTimeSeconds =
      static_cast<double>(*boot) + static_cast<double>(stat->startTicks) / perSecond;
  std::error_code ec;
  for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
       it.increment(ec)) {
    ++out.openFds;
  }
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    out.maxFds = limit.rlim_cur;
  }
  return out;
}

}  // namespace talvero
