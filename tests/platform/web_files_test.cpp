#include "platform/web_files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace talvero {
namespace {

const WebFile* Find(std::string_view path) {
  const auto files = EmbeddedWebFiles();
  const auto found =
      std::find_if(files.begin(), files.end(), [&](const WebFile& f) { return f.path == path; });
  return found == files.end() ? nullptr : &*found;
}

TEST(WebFiles, TheFolderWebIsEmbeddedWithContentTypes) {
  const std::pair<std::string_view, std::string_view> expected[] = {
      {"index.html", "text/html; charset=utf-8"},
      {"app.js", "text/javascript; charset=utf-8"},
      {"style.css", "text/css; charset=utf-8"},
      {"icon.svg", "image/svg+xml"},
  };
  for (const auto& [path, type] : expected) {
    SCOPED_TRACE(path);
    const WebFile* file = Find(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->contentType, type);
    EXPECT_FALSE(file->body.empty());
  }
  EXPECT_NE(Find("index.html")->body.find("<script src=\"app.js\""), std::string_view::npos);
}

TEST(WebFiles, TheSixSoundsAreShortDistinctMonoPcmWaves) {
  std::vector<std::string_view> sounds;
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const WebFile* file = Find("sounds/" + std::to_string(i) + ".wav");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->contentType, "audio/wav");
    const std::string_view wav = file->body;
    ASSERT_GT(wav.size(), 44u);
    const auto u16 = [&](size_t at) {
      return static_cast<unsigned>(static_cast<uint8_t>(wav[at]) | static_cast<uint8_t>(wav[at + 1])
                                                                       << 8);
    };
    const auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(u32(4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1u);  // PCM
    EXPECT_EQ(u16(22), 1u);  // mono
    const unsigned rate = u32(24);
    const unsigned bytesPerFrame = u16(32);
    EXPECT_EQ(u32(28), rate * bytesPerFrame);
    EXPECT_EQ(u16(34), bytesPerFrame * 8);
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(u32(40), wav.size() - 44);
    const double seconds = static_cast<double>(u32(40)) / bytesPerFrame / rate;
    EXPECT_GT(seconds, 0.05);
    EXPECT_LT(seconds, 1.0);
    EXPECT_EQ(std::find(sounds.begin(), sounds.end(), wav), sounds.end()) << "sound repeated";
    sounds.push_back(wav);
  }
  EXPECT_EQ(Find("sounds/6.wav"), nullptr);
}

}  // namespace
}  // namespace talvero
