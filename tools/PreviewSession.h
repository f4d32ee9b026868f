#pragma once
// One effect instance in the in-process host, driven as the host drives it:
// global setup, parameter setup and a first UI update when it starts; the
// user's control changes (with the parameter-change command of a supervised
// control) and a UI update after them; then frames, through the smart render
// pair or the legacy render command.
#include <string>
#include <string_view>
#include <vector>

#include "minihost/MiniHost.h"
#include "tools/Frame.h"
#include "tools/PreviewOptions.h"

namespace tessaline {

class PreviewSession {
 public:
  // The effect applied to a layer of this size and depth. Throws
  // PreviewError when a setup command fails.
  PreviewSession(FrameSize layer, PixelDepth depth);

  MiniHost& host() { return host_; }

  // --preset, --resolution, then every --set in order, then the UI update.
  void ApplyChoices(const PreviewOptions& options);
  // Sets the control with this label to the typed value (see SetControl).
  void Set(std::string_view label, std::string_view value);
  // SetControl's warnings of the values set so far, in order.
  const std::vector<std::string>& warnings() const { return warnings_; }
  void UpdateUI();

  // Renders one frame over `source`, a frame of the layer's size and depth,
  // by options.render, in the part of the layer the options name:
  // - downsample factors above 1 render a draft: the host hands the effect a
  //   layer reduced by the factors and says so in in_data, whose width and
  //   height stay the layer's full size;
  // - grow: the input the host hands over is the layer with that many
  //   transparent pixels around it, as an earlier effect would make it;
  // - region: the host asks for that rectangle only.
  // The frame returned covers the region, else the whole (grown) input: the
  // output's pixels where the effect rendered, transparent elsewhere. A legacy
  // render draws the whole input; the region is cut from it. Throws
  // PreviewError when the grown frame is too large.
  Frame Render(const FrameView& source, const PreviewOptions& options);

 private:
  void Check(PF_Err err, const char* command);

  MiniHost host_;
  FrameSize layer_;
  PixelDepth depth_;
  std::vector<std::string> warnings_;
};

}  // namespace tessaline
