#pragma once
// The command line of tessaline-preview.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/SourceImages.h"

namespace tessaline {

enum class RenderPath { kSmart, kLegacy };

// One --set: the control's label and the value as typed.
struct ControlEdit {
  std::string label;
  std::string value;
};

struct PreviewOptions {
  std::optional<FrameSize> size;  // unset: a PNG source's size, else kDefaultSize
  PixelDepth depth = PixelDepth::k8;
  RenderPath render = RenderPath::kSmart;
  std::optional<std::string> preset;      // label or 1-based number
  std::optional<std::string> resolution;  // label or 1-based number
  std::vector<ControlEdit> edits;         // in command-line order
  SourceChoice source;
  std::optional<std::string> output;  // FILE.png or FILE.raw
  bool printParams = false;
  std::optional<std::string> galleryDir;
  FrameSize downsample{1, 1};  // horizontal and vertical factor
  bool help = false;
};

inline constexpr FrameSize kDefaultSize{1920, 1080};

// Parses the arguments after the program name. Options take their value as
// the next argument or after "=" ("--size 640x480", "--size=640x480").
// Throws PreviewError naming the option and the fault.
PreviewOptions ParseOptions(std::span<const std::string_view> args);

// The text of --help.
std::string UsageText();

}  // namespace tessaline
