#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace talvero {

// The key every stored admin password is scrambled with.
inline constexpr std::string_view PasswordKey = "604271935";
// The password while no file holds another one.
inline constexpr std::string_view kDefaultAdminPassword = "9873";
// Below the working folder.
inline const std::filesystem::path kAdminPasswordPath = "Resources/bin.ini";

// Each character XOR the character of the key at the same place, the key
// repeated as often as the text needs; applied twice it gives the text back.
std::string ScramblePassword(std::string_view text, std::string_view key);

// What the change window answers to OK.
struct PasswordChangeAnswer {
  enum class Box { Error, Warning, Information };
  Box box = Box::Error;
  std::string text;
  bool close = false;  // the window closes; otherwise it stays open
};

// The admin password file: one line, the password scrambled with PasswordKey.
//
// A scrambled byte LF, CR or 26 would end or vanish from that line when it is
// read, so a password that scrambles to one of them is stored in a form of its
// own: "~", the scrambled bytes in hexadecimal, LF. Every other password is
// stored as one line ended by CR LF, and a file ending in CR LF, as every
// other writer of the file leaves it, is always read as one line.
class AdminPasswordFile {
 public:
  explicit AdminPasswordFile(std::filesystem::path path = kAdminPasswordPath)
      : path_(std::move(path)) {}

  // The stored password; when the file is missing, "9873", and the file is
  // created holding it. Throws std::runtime_error with the failure's text when
  // the file or its folder cannot be read, created or written.
  std::string ReadStored() const;

  // The change window, each time it becomes active: the current-password field
  // is preset with the default while that is still the password, and the focus
  // then goes to the new-password field. Throws as ReadStored.
  struct ChangeWindow {
    std::string currentPreset;
    bool focusNewPassword = false;
  };
  ChangeWindow OpenChangeWindow() const;

  // OK in the change window. Never throws: a file that cannot be read or
  // written is an error box, and nothing is changed.
  PasswordChangeAnswer Change(std::string_view current, std::string_view next) const;

 private:
  std::filesystem::path path_;
};

}  // namespace talvero
