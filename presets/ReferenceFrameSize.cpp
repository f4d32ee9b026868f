#include "presets/ReferenceFrameSize.h"

#include <array>
#include <string_view>

#include "core/ParamIndex.h"
#include "presets/PopupLabels.h"

namespace tessaline {
namespace {

struct SizeRow {
  std::string_view label;
  std::int32_t width;  // 0 for "Current Size": the layer's own size
  std::int32_t height;
};

// One row per "Resolution" entry, in popup order (value 1 first).
constexpr std::array<SizeRow, 20> kSizes = {{
    {kResolutionLabels[0], 0, 0},        {kResolutionLabels[1], 1280, 720},
    {kResolutionLabels[2], 1920, 1080},  {kResolutionLabels[3], 2560, 1440},
    {kResolutionLabels[4], 3840, 2160},  {kResolutionLabels[5], 4096, 2160},
    {kResolutionLabels[6], 7680, 4320},  {kResolutionLabels[7], 1080, 1080},
    {kResolutionLabels[8], 2048, 2048},  {kResolutionLabels[9], 4096, 4096},
    {kResolutionLabels[10], 720, 1280},  {kResolutionLabels[11], 1080, 1920},
    {kResolutionLabels[12], 2160, 3840}, {kResolutionLabels[13], 640, 480},
    {kResolutionLabels[14], 1440, 1080}, {kResolutionLabels[15], 2048, 1536},
    {kResolutionLabels[16], 2160, 1440}, {kResolutionLabels[17], 2560, 1080},
    {kResolutionLabels[18], 3440, 1440}, {kResolutionLabels[19], 3840, 1600},
}};

constexpr FrameSize kDefaultSize{1920.0, 1080.0};
constexpr std::int32_t kDefaultRow = 2;  // "1920x1080 Full HD"

static_assert(kSizes.size() == kResolutionLabels.size());

// Reads the decimal number at `at` and moves past it; -1 when there is none.
constexpr std::int32_t ReadNumber(std::string_view text, std::size_t& at) {
  std::int32_t value = -1;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = (value < 0 ? 0 : value * 10) + (text[at] - '0');
  }
  return value;
}

// Every fixed row's label starts with "<width>x<height>" of that row.
constexpr bool SizesMatchLabels() {
  for (std::size_t i = 1; i < kSizes.size(); ++i) {
    std::size_t at = 0;
    if (ReadNumber(kSizes[i].label, at) != kSizes[i].width) return false;
    if (at >= kSizes[i].label.size() || kSizes[i].label[at++] != 'x') return false;
    if (ReadNumber(kSizes[i].label, at) != kSizes[i].height) return false;
  }
  return kSizes[0].label == "Current Size";
}
static_assert(SizesMatchLabels());
static_assert(kSizes[kDefaultRow].width == kDefaultSize.width &&
              kSizes[kDefaultRow].height == kDefaultSize.height);

}  // namespace

FrameSize ReferenceFrameSize(std::int32_t resolution, std::int32_t layerWidth,
                             std::int32_t layerHeight) {
  if (resolution == kResolutionCurrentSize && layerWidth > 0 && layerHeight > 0) {
    return FrameSize{static_cast<double>(layerWidth), static_cast<double>(layerHeight)};
  }
  if (resolution <= kResolutionCurrentSize ||
      resolution > static_cast<std::int32_t>(kSizes.size())) {
    return kDefaultSize;
  }
  const SizeRow& row = kSizes[static_cast<std::size_t>(resolution - 1)];
  return FrameSize{static_cast<double>(row.width), static_cast<double>(row.height)};
}

}  // namespace tessaline
