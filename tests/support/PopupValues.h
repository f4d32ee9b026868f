#pragma once
// Popup values by label, from the plug-in's label tables: the one place the
// tests take preset, resolution, color count and blend mode numbers from.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "presets/PopupLabels.h"

namespace tessaline::test {

// The 1-based popup value of `label`; not a constant expression when absent.
template <std::size_t N>
consteval std::int32_t PopupValue(const std::array<std::string_view, N>& labels,
                                  std::string_view label) {
  for (std::size_t i = 0; i < N; ++i) {
    if (labels[i] == label) return std::int32_t(i) + 1;
  }
  throw "no such popup entry";
}

consteval std::int32_t Preset(std::string_view label) {
  return PopupValue(kPresetLabels, label);
}
consteval std::int32_t Resolution(std::string_view label) {
  return PopupValue(kResolutionLabels, label);
}

}  // namespace tessaline::test
