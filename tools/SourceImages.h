#pragma once
// The input layer of a preview: one of the built-in backgrounds, or a file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/Frame.h"

namespace tessaline {

enum class SourceKind {
  kTransparent,  // every pixel zero
  kGray,         // opaque neutral gray, half of full scale
  kChecker,      // opaque light and dark gray squares, kCheckerCell pixels wide
  kSample,       // a soft gradient with a few shapes, to show the compositing
  kPngFile,
  kRawFile,
};

struct SourceChoice {
  SourceKind kind = SourceKind::kGray;
  std::string path;  // for the two file kinds
};

inline constexpr std::int32_t kCheckerCell = 32;

struct FrameSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const FrameSize&) const = default;
};

// "transparent", "gray", "checker", "sample", or a path ending in .png or
// .raw (any case). Throws PreviewError for anything else.
SourceChoice ParseSource(std::string_view text);

// A built-in background at the depth and size.
Frame MakeBuiltInSource(SourceKind kind, PixelDepth depth, FrameSize size);

// The layer a source names, at full resolution. A PNG sets the size when none is
// asked for, and must match it when one is; a .raw file holds exactly one
// frame of the asked-for size (or `fallback`) at the depth. Throws
// PreviewError naming the file and the fault.
Frame LoadSource(const SourceChoice& source, PixelDepth depth, std::optional<FrameSize> size,
                 FrameSize fallback);

// The frame the host hands over at a reduced resolution: the size divided by
// the factors, rounded up, each pixel taken from the top-left pixel of the
// block it stands for.
FrameSize DownsampledSize(FrameSize size, FrameSize factors);
Frame Downsample(const FrameView& frame, FrameSize factors);

}  // namespace tessaline
