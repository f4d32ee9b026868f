#pragma once
// The command line of tessaline-preview.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "minihost/MiniHost.h"
#include "minihost/World.h"
#include "tools/SourceImages.h"

namespace tessaline {

// One --set: the control's label and the value as typed.
struct ControlEdit {
  std::string label;
  std::string value;
};

// A rectangle in pixels of the rendered frame, layer coordinates: left and top
// inside, right and bottom just outside.
struct PixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool operator==(const PixelRect&) const = default;
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
  // --region: the host asks for this part of the layer only, and the file holds it.
  std::optional<PixelRect> region;
  // --grow: transparent pixels an earlier effect added on each side of the layer.
  WorldMargins grow;
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
