#include "tools/PreviewSession.h"

#include <string>

#include "host/EffectMain.h"
#include "tools/ControlEdits.h"
#include "tools/PreviewError.h"
#include "tools/SourceImages.h"

namespace tessaline {

PreviewSession::PreviewSession(FrameSize layer, PixelDepth depth)
    : host_(&EffectMain), layer_(layer), depth_(depth) {
  host_.SetFrame(depth, layer.width, layer.height);
  Check(host_.GlobalSetup(), "global setup");
  Check(host_.ParamsSetup(), "parameter setup");
  UpdateUI();
}

void PreviewSession::Check(PF_Err err, const char* command) {
  if (err != PF_Err_NONE) {
    throw PreviewError(std::string("the effect answered error ") + std::to_string(err) + " to " +
                       command);
  }
}

void PreviewSession::Set(std::string_view label, std::string_view value) {
  SetControl(host_, FindControlByLabel(host_, label), value);
}

void PreviewSession::UpdateUI() {
  Check(host_.UpdateParamsUI(), "the UI update");
}

void PreviewSession::ApplyChoices(const PreviewOptions& options) {
  if (options.preset) Set("Preset", *options.preset);
  if (options.resolution) Set("Resolution", *options.resolution);
  for (const ControlEdit& edit : options.edits) Set(edit.label, edit.value);
  UpdateUI();
}

FrameView PreviewSession::Render(const FrameView& source, RenderPath path, FrameSize downsample) {
  const bool draft = downsample.width > 1 || downsample.height > 1;
  const FrameSize size = DownsampledSize(layer_, downsample);
  host_.SetFrame(depth_, size.width, size.height);
  host_.SetDownsample(PF_RationalScale{1, A_u_long(downsample.width)},
                      PF_RationalScale{1, A_u_long(downsample.height)});
  if (draft) {
    const Frame reduced = Downsample(source, downsample);
    CopyInto(reduced.View(), host_.Layer());
  } else {
    CopyInto(source, host_.Layer());
  }
  if (path == RenderPath::kLegacy) {
    Check(host_.RenderLegacy(), "the render command");
  } else {
    Check(host_.RenderSmart(), "smart rendering");
  }
  return ViewOf(host_.Output());
}

}  // namespace tessaline
