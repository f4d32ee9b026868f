#pragma once
// One effect instance in the in-process host, driven as the host drives it:
// global setup, parameter setup and a first UI update when it starts; the
// user's control changes (with the parameter-change command of a supervised
// control) and a UI update after them; then frames, through the smart render
// pair or the legacy render command.
#include <string_view>

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
  void UpdateUI();

  // Renders one frame over `source`, a frame of the layer's size and depth.
  // Downsample factors above 1 render a draft: the host hands the effect a
  // layer reduced by the factors and says so in in_data. The view shows the
  // host's output world and stays valid until the next Render.
  FrameView Render(const FrameView& source, RenderPath path, FrameSize downsample);

 private:
  void Check(PF_Err err, const char* command);

  MiniHost host_;
  FrameSize layer_;
  PixelDepth depth_;
};

}  // namespace tessaline
