#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace talvero {

// A text of 8-bit characters of at most N characters, held inline; a longer
// value is cut to N when it is stored. Keeps the unit table free of heap memory.
template <size_t N>
class BoundedText {
 public:
  BoundedText() = default;
  BoundedText(std::string_view text) { Assign(text); }  // NOLINT: stored like a string

  BoundedText& operator=(std::string_view text) {
    Assign(text);
    return *this;
  }

  std::string_view View() const { return {chars_.data(), size_}; }
  std::string Str() const { return std::string(View()); }
  operator std::string_view() const { return View(); }  // NOLINT
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }

  friend bool operator==(const BoundedText& a, const BoundedText& b) {
    return a.View() == b.View();
  }
  friend bool operator==(const BoundedText& a, std::string_view b) { return a.View() == b; }

 private:
  void Assign(std::string_view text) {
    size_ = static_cast<unsigned char>(std::min(text.size(), N));
    std::copy_n(text.data(), size_, chars_.data());
  }

  std::array<char, N> chars_{};
  unsigned char size_ = 0;
};

}  // namespace talvero
