#include "platform/web_reply.hpp"

#include <algorithm>
#include <cctype>

namespace talvero {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// A file name that cannot break out of the quoted header value nor name a folder.
std::string SafeFileName(std::string_view name) {
  std::string safe;
  for (const char c : name) {
    const bool plain =
        std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' || c == ' ';
    safe.push_back(plain ? c : '_');
  }
  return safe.empty() ? std::string("download") : safe;
}

}  // namespace

WebReply WebReply::Text(unsigned status, std::string_view text) {
  WebReply reply;
  reply.status = status;
  reply.SetHeader("Content-Type", "text/plain; charset=utf-8");
  reply.body = std::string(text) + "\n";
  return reply;
}

WebReply WebReply::Content(std::string_view contentType, std::string body) {
  WebReply reply;
  reply.SetHeader("Content-Type", std::string(contentType));
  reply.body = std::move(body);
  return reply;
}

WebReply WebReply::Attachment(std::string_view contentType, std::string_view fileName,
                              std::string body) {
  WebReply reply = Content(contentType, std::move(body));
  reply.SetHeader("Content-Disposition", "attachment; filename=\"" + SafeFileName(fileName) + "\"");
  return reply;
}

std::optional<std::string_view> WebReply::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameName(key, name)) {
      return value;
    }
  }
  return std::nullopt;
}

void WebReply::SetHeader(std::string name, std::string value) {
  for (auto& [key, existing] : headers) {
    if (SameName(key, name)) {
      existing = std::move(value);
      return;
    }
  }
  headers.emplace_back(std::move(name), std::move(value));
}

}  // namespace talvero
