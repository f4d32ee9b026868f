#pragma once
// The entries of the effect's four popups, in popup order (value 1 first),
// and each popup's choice string joined with "|" as the host wants it. The
// preset and size tables take their labels from here, so a label and its row
// cannot drift apart.
#include <array>
#include <cstddef>
#include <string_view>

namespace tessaline {

inline constexpr std::array<std::string_view, 17> kPresetLabels = {
    "Custom",    "Fine Draft",   "Balanced Grid", "Coarse Grid",  "Modular Grid", "Thirds",
    "Fifths",    "Golden Guide", "Quadrants",     "Safe Area 90", "Safe Area 80", "Margin Frame",
    "Blueprint", "Cinematic",    "Social Layout", "Center Cross", "Presentation"};

inline constexpr std::array<std::string_view, 20> kResolutionLabels = {"Current Size",
                                                                       "1280x720 HD",
                                                                       "1920x1080 Full HD",
                                                                       "2560x1440 QHD",
                                                                       "3840x2160 UHD 4K",
                                                                       "4096x2160 DCI 4K",
                                                                       "7680x4320 UHD 8K",
                                                                       "1080x1080 Square",
                                                                       "2048x2048 Square",
                                                                       "4096x4096 Square",
                                                                       "720x1280 Vertical HD",
                                                                       "1080x1920 Vertical Full HD",
                                                                       "2160x3840 Vertical UHD 4K",
                                                                       "640x480 4:3 SD",
                                                                       "1440x1080 4:3 HD",
                                                                       "2048x1536 4:3 2K",
                                                                       "2160x1440 3:2 Photo",
                                                                       "2560x1080 Ultrawide",
                                                                       "3440x1440 Ultrawide",
                                                                       "3840x1600 Ultrawide"};

inline constexpr std::array<std::string_view, 4> kOuterColorCountLabels = {"1 Color", "2 Colors",
                                                                           "3 Colors", "4 Colors"};

inline constexpr std::array<std::string_view, 2> kBlendModeLabels = {"Composite Over Source",
                                                                     "Grid Only"};

namespace detail {

template <std::size_t N>
constexpr std::size_t JoinedSize(const std::array<std::string_view, N>& labels) {
  std::size_t size = N;  // separators plus the terminator
  for (std::string_view label : labels) size += label.size();
  return size;
}

template <const auto& Labels>
constexpr auto JoinLabels() {
  std::array<char, JoinedSize(Labels)> joined{};
  std::size_t at = 0;
  for (std::size_t i = 0; i < Labels.size(); ++i) {
    if (i > 0) joined[at++] = '|';
    for (char ch : Labels[i]) joined[at++] = ch;
  }
  joined[at] = '\0';
  return joined;
}

template <const auto& Labels>
inline constexpr auto kJoined = JoinLabels<Labels>();

}  // namespace detail

// "Custom|Fine Draft|...", zero-terminated, for the host's popup definition.
inline constexpr const char* kPresetChoices = detail::kJoined<kPresetLabels>.data();
inline constexpr const char* kResolutionChoices = detail::kJoined<kResolutionLabels>.data();
inline constexpr const char* kOuterColorCountChoices =
    detail::kJoined<kOuterColorCountLabels>.data();
inline constexpr const char* kBlendModeChoices = detail::kJoined<kBlendModeLabels>.data();

}  // namespace tessaline
