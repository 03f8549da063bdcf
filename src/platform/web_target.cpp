#include "platform/web_target.hpp"

#include <algorithm>

namespace talvero {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Decodes %XX escapes (and '+' as a blank in a query); empty on a bad escape or a NUL.
std::optional<std::string> Decode(std::string_view text, bool plusIsBlank) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) {
        return std::nullopt;
      }
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high < 0 || low < 0) {
        return std::nullopt;
      }
      c = static_cast<char>(high * 16 + low);
      i += 2;
    } else if (c == '+' && plusIsBlank) {
      c = ' ';
    }
    if (c == '\0') {
      return std::nullopt;
    }
    decoded.push_back(c);
  }
  return decoded;
}

bool SafePath(std::string_view path) {
  if (path.empty() || path.front() != '/' || path.find('\\') != std::string_view::npos) {
    return false;
  }
  size_t start = 1;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string_view segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// Blanks and control characters never come in a target a browser sends, and
// one that came back in a Location header could end the header.
bool PlainCharacters(std::string_view target) {
  return std::none_of(target.begin(), target.end(),
                      [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; });
}

std::string_view NameOf(std::string_view piece) {
  return piece.substr(0, piece.find('='));
}

}  // namespace

std::optional<std::string> WebTarget::Query(std::string_view name) const {
  for (const auto& [key, value] : query) {
    if (key == name) {
      return value;
    }
  }
  return std::nullopt;
}

std::optional<WebTarget> ParseWebTarget(std::string_view target) {
  const size_t mark = target.find('?');
  const std::string_view rawPath = target.substr(0, mark);
  // "//host/..." sent back as the Location of the sign-in would lead the
  // browser to another host.
  if (!PlainCharacters(target) || rawPath.starts_with("//")) {
    return std::nullopt;
  }
  WebTarget parsed;
  std::optional<std::string> path = Decode(rawPath, false);
  if (!path || !SafePath(*path)) {
    return std::nullopt;
  }
  parsed.path = std::move(*path);
  if (mark == std::string_view::npos) {
    return parsed;
  }
  std::string_view rest = target.substr(mark + 1);
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string_view piece = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
    if (piece.empty()) {
      continue;
    }
    const size_t eq = piece.find('=');
    std::optional<std::string> name = Decode(piece.substr(0, eq), true);
    std::optional<std::string> value =
        Decode(eq == std::string_view::npos ? std::string_view{} : piece.substr(eq + 1), true);
    if (!name || !value) {
      return std::nullopt;
    }
    parsed.query.emplace_back(std::move(*name), std::move(*value));
  }
  return parsed;
}

std::string TargetWithout(std::string_view target, std::string_view name) {
  const size_t mark = target.find('?');
  std::string kept(target.substr(0, mark));
  if (mark == std::string_view::npos) {
    return kept;
  }
  std::string_view rest = target.substr(mark + 1);
  char separator = '?';
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string_view piece = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
    const std::optional<std::string> pieceName = Decode(NameOf(piece), true);
    if (piece.empty() || (pieceName && *pieceName == name)) {
      continue;
    }
    kept.push_back(separator);
    kept.append(piece);
    separator = '&';
  }
  return kept;
}

}  // namespace talvero
