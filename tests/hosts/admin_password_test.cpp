#include "hosts/admin_password.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using namespace std::string_literals;
using Box = PasswordChangeAnswer::Box;

TEST(ScramblePassword, XorsWithTheRepeatedKeyAndUndoesItself) {
  EXPECT_EQ(ScramblePassword("9873", PasswordKey), "\x0F\x08\x03\x01");
  const std::string ten = "abcdefghij";
  const std::string scrambled = ScramblePassword(ten, PasswordKey);
  ASSERT_EQ(scrambled.size(), 10u);
  EXPECT_EQ(scrambled[8], static_cast<char>('i' ^ '5'));
  EXPECT_EQ(scrambled[9], static_cast<char>('j' ^ '6'));  // the key's first character again
  EXPECT_EQ(ScramblePassword(scrambled, PasswordKey), ten);
  EXPECT_EQ(ScramblePassword("", PasswordKey), "");
}

class AdminPasswordTest : public ::testing::Test {
 protected:
  AdminPasswordTest() { std::filesystem::create_directory(home.path() / "Resources"); }
  std::filesystem::path path() const { return home.path() / "Resources" / "bin.ini"; }

  testing::TempDir home;
  AdminPasswordFile file{home.path() / "Resources" / "bin.ini"};
};

TEST_F(AdminPasswordTest, AMissingFileIsCreatedHoldingTheDefault) {
  EXPECT_EQ(file.ReadStored(), "9873");
  EXPECT_EQ(testing::ReadFile(path()), "\x0F\x08\x03\x01");  // no line break
  EXPECT_EQ(file.ReadStored(), "9873");
}

TEST_F(AdminPasswordTest, APasswordChangeCountsUntilTheFileIsDeleted) {
  const AdminPasswordFile::ChangeWindow first = file.OpenChangeWindow();
  EXPECT_EQ(first.currentPreset, "9873");
  EXPECT_TRUE(first.focusNewPassword);

  const PasswordChangeAnswer changed = file.Change("9873", "s3cret!");
  EXPECT_EQ(changed.box, Box::Information);
  EXPECT_EQ(changed.text, "Password is changed successfully.");
  EXPECT_TRUE(changed.close);
  EXPECT_EQ(testing::ReadFile(path()), ScramblePassword("s3cret!", PasswordKey) + "\r\n");
  EXPECT_EQ(file.ReadStored(), "s3cret!");

  const AdminPasswordFile::ChangeWindow again = file.OpenChangeWindow();
  EXPECT_EQ(again.currentPreset, "");
  EXPECT_FALSE(again.focusNewPassword);

  std::filesystem::remove(path());
  EXPECT_EQ(file.ReadStored(), "9873");
}

TEST_F(AdminPasswordTest, TheChangeWindowRefusesAWrongCurrentAndAnEmptyOrUnchangedNewPassword) {
  const struct {
    std::string current;
    std::string next;
    Box box;
    std::string text;
  } cases[] = {
      {"9872", "new", Box::Error, "Failed: Provided current password is incorrect."},
      {"9873 ", "new", Box::Error, "Failed: Provided current password is incorrect."},
      {"", "new", Box::Error, "Failed: Provided current password is incorrect."},
      {"9873", "", Box::Warning, "Please provide new Admin password."},
      {"9873", "9873", Box::Warning, "Please provide new Admin password."},
  };
  for (const auto& c : cases) {
    const PasswordChangeAnswer answer = file.Change(c.current, c.next);
    EXPECT_EQ(answer.box, c.box) << c.current << "/" << c.next;
    EXPECT_EQ(answer.text, c.text);
    EXPECT_FALSE(answer.close);
    EXPECT_EQ(file.ReadStored(), "9873");
  }
}

TEST_F(AdminPasswordTest, EveryAcceptedPasswordReadsBackAsWritten) {
  // The first six scramble to LF, CR or byte 26 somewhere, which one line
  // cannot hold.
  const std::string passwords[] = {"0008", "2468",
                                   "<",    ";",
                                   "<\r<", std::string(40, '?'),
                                   "ab<:", "\xD0\x9F\xD0\xB0\xD1\x80",
                                   "a\nb", "12345678;"};
  std::string current = "9873";
  for (size_t i = 0; i < std::size(passwords); ++i) {
    const std::string& next = passwords[i];
    ASSERT_EQ(file.Change(current, next).box, Box::Information) << next;
    EXPECT_EQ(file.ReadStored(), next);
    EXPECT_EQ(testing::ReadFile(path()).starts_with('~'), i < 6) << next;
    current = next;
  }
}

TEST_F(AdminPasswordTest, FilesOfEveryOtherWriterReadTheirFirstLine) {
  const auto stored = [](std::string_view password) {
    return ScramblePassword(password, PasswordKey);
  };
  const struct {
    std::string bytes;
    std::string password;
  } cases[] = {
      {stored("abc") + "\r\n", "abc"},
      {stored("abc") + "\r\nsecond line\r\n", "abc"},
      {stored("abc"), "abc"},
      {stored("ab") + "\n" + stored("cd"), "ab"},
      {stored("ab") + "\x1A" + "rest", "ab"},
      {"\x51\r\x52\r\n", ScramblePassword("\x51\x52", PasswordKey)},  // a lone CR is dropped
      {"", ""},
      {"\r\n", ""},
      {std::string(100000, 'A'), ScramblePassword(std::string(100000, 'A'), PasswordKey)},
      // Looks like the stored hexadecimal form but ends in CR LF: one line as it stands.
      {"~0102\r\n", ScramblePassword("~0102", PasswordKey)},
      {"~012\n", ScramblePassword("~012", PasswordKey)},
      {"~01zz\n", ScramblePassword("~01zz", PasswordKey)},
  };
  for (const auto& c : cases) {
    testing::WriteFile(path(), c.bytes);
    EXPECT_EQ(file.ReadStored(), c.password) << c.bytes;
  }
  std::string binary;
  for (int i = 0; i < 256; ++i) {
    binary.push_back(static_cast<char>(i));
  }
  testing::WriteFile(path(), binary);
  EXPECT_EQ(file.ReadStored(), ScramblePassword(binary.substr(0, 10), PasswordKey));
}

TEST_F(AdminPasswordTest, AFileOrFolderThatCannotBeUsedIsAFailureWithItsText) {
  const AdminPasswordFile noFolder(home.path() / "Missing" / "bin.ini");
  EXPECT_THROW(noFolder.ReadStored(), std::runtime_error);
  EXPECT_THROW(noFolder.OpenChangeWindow(), std::runtime_error);
  const PasswordChangeAnswer answer = noFolder.Change("9873", "new");
  EXPECT_EQ(answer.box, Box::Error);
  EXPECT_NE(answer.text.find("bin.ini"), std::string::npos) << answer.text;
  EXPECT_FALSE(answer.close);
  EXPECT_FALSE(std::filesystem::exists(home.path() / "Missing"));

  std::filesystem::create_directory(path());  // a folder where the file should be
  EXPECT_THROW(file.ReadStored(), std::runtime_error);
  EXPECT_EQ(file.Change("9873", "new").box, Box::Error);
}

}  // namespace
}  // namespace talvero
