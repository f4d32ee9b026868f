#pragma once
// Comparisons of typed text that ignore ASCII case, for labels, choices and
// file extensions.
#include <algorithm>
#include <cctype>
#include <string_view>

namespace tessaline {

inline bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// True when `text` is longer than `suffix` and ends with it ("a.PNG", ".png").
inline bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() > suffix.size() &&
         EqualNoCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace tessaline
