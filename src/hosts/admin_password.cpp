#include "hosts/admin_password.hpp"

#include <exception>
#include <system_error>

#include "base/text_file.hpp"
#include "protocol/hex_text.hpp"

namespace talvero {
namespace {

constexpr char kEndOfFileMark = 26;
constexpr char kHexFormMark = '~';

// The first line as the file has always been read: LF and byte 26 end it, CR
// LF ends it, and a CR on its own is dropped.
std::string FirstLine(std::string_view text) {
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || c == kEndOfFileMark) {
      break;
    }
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') {
        break;
      }
      continue;
    }
    line.push_back(c);
  }
  return line;
}

bool ReadsBackAsOneLine(std::string_view scrambled) {
  return scrambled.find_first_of(std::string_view("\r\n\x1A", 3)) == std::string_view::npos;
}

// "~", hexadecimal digits in pairs, LF: the form no file ending in CR LF has.
bool IsHexForm(std::string_view text) {
  if (text.size() < 2 || text.front() != kHexFormMark || text.back() != '\n' ||
      text[text.size() - 2] == '\r') {
    return false;
  }
  const std::string_view digits = text.substr(1, text.size() - 2);
  if (digits.size() % 2 != 0) {
    return false;
  }
  for (const char c : digits) {
    if (HexDigitValue(c) > 15) {
      return false;
    }
  }
  return true;
}

std::string StoredForm(std::string_view password) {
  const std::string scrambled = ScramblePassword(password, PasswordKey);
  if (ReadsBackAsOneLine(scrambled)) {
    return scrambled + "\r\n";
  }
  return kHexFormMark + StrToHexText(scrambled) + "\n";
}

}  // namespace

std::string ScramblePassword(std::string_view text, std::string_view key) {
  std::string result(text);
  if (key.empty()) {
    return result;
  }
  for (size_t i = 0; i < result.size(); ++i) {
    result[i] = static_cast<char>(result[i] ^ key[i % key.size()]);
  }
  return result;
}

std::string AdminPasswordFile::ReadStored() const {
  std::error_code error;
  if (!std::filesystem::exists(path_, error)) {
    if (error) {
      throw std::system_error(error, "cannot read " + path_.string());
    }
    ReplaceFileWith(path_, ScramblePassword(kDefaultAdminPassword, PasswordKey));
    return std::string(kDefaultAdminPassword);
  }
  const std::string text = ReadWholeFile(path_);
  if (IsHexForm(text)) {
    return ScramblePassword(HexTextToBytes(text.substr(1, text.size() - 2)).Bytes, PasswordKey);
  }
  return ScramblePassword(FirstLine(text), PasswordKey);
}

AdminPasswordFile::ChangeWindow AdminPasswordFile::OpenChangeWindow() const {
  ChangeWindow window;
  if (ReadStored() == kDefaultAdminPassword) {
    window.currentPreset = kDefaultAdminPassword;
    window.focusNewPassword = true;
  }
  return window;
}

PasswordChangeAnswer AdminPasswordFile::Change(std::string_view current,
                                               std::string_view next) const {
  using Box = PasswordChangeAnswer::Box;
  try {
    if (current != ReadStored()) {
      return {Box::Error, "Failed: Provided current password is incorrect.", false};
    }
    if (next.empty() || next == current) {
      return {Box::Warning, "Please provide new Admin password.", false};
    }
    ReplaceFileWith(path_, StoredForm(next));
    return {Box::Information, "Password is changed successfully.", true};
  } catch (const std::exception& e) {
    return {Box::Error, e.what(), false};
  }
}

}  // namespace talvero
