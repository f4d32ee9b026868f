#include "tools/PreviewSession.h"

#include <string>
#include <utility>

#include "host/EffectMain.h"
#include "tools/ControlEdits.h"
#include "tools/Frame.h"
#include "tools/PreviewError.h"
#include "tools/SourceImages.h"

namespace tessaline {

PreviewSession::PreviewSession(FrameSize layer, PixelDepth depth)
    : host_(&EffectMain, {.input = {depth, layer.width, layer.height}}),
      layer_(layer),
      depth_(depth) {
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
  std::string warning = SetControl(host_, FindControlByLabel(host_, label), value);
  if (!warning.empty()) warnings_.push_back(std::move(warning));
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

Frame PreviewSession::Render(const FrameView& source, const PreviewOptions& options) {
  const FrameSize downsample = options.downsample;
  const bool draft = downsample.width > 1 || downsample.height > 1;
  const FrameSize size = DownsampledSize(layer_, downsample);
  const WorldMargins& grow = options.grow;
  const std::int64_t width = std::int64_t{size.width} + grow.left + grow.right;
  const std::int64_t height = std::int64_t{size.height} + grow.top + grow.bottom;
  if (const std::string beyond = BeyondFrameLimits(depth_, width, height); !beyond.empty()) {
    throw PreviewError("--grow: the grown frame is too large: " + beyond);
  }
  HostConfig config{
      .input = {depth_, std::int32_t(width), std::int32_t(height)},
      .inputOrigin = {-grow.left, -grow.top},
      .layerSize = {{layer_.width, layer_.height}},
      .downsample = {{1, A_u_long(downsample.width)}, {1, A_u_long(downsample.height)}}};
  const PF_LRect input = config.InputExtent();
  const PixelRect area =
      options.region.value_or(PixelRect{input.left, input.top, input.right, input.bottom});
  if (options.region) {
    PF_RenderRequest request{};
    request.rect = PF_LRect{area.left, area.top, area.right, area.bottom};
    request.field = PF_Field_FRAME;
    request.channel_mask = PF_ChannelMask_ARGB;
    config.outputRequest = request;
  }
  host_.Configure(config);
  // The grown margins stay transparent.
  host_.Layer().Clear();
  if (draft) {
    Paste(Downsample(source, downsample).View(), host_.Layer(), grow.left, grow.top);
  } else {
    Paste(source, host_.Layer(), grow.left, grow.top);
  }
  // Where the output's pixel (0, 0) lies in the layer.
  std::int32_t x = 0, y = 0;
  if (options.render == RenderPath::kLegacy) {
    Check(host_.RenderLegacy(), "the render command");
    x = input.left;
    y = input.top;
  } else {
    const PF_Err err = host_.RenderSmart();
    // The host refuses an output larger than it allocates, without asking the effect.
    const PF_LRect r = host_.Log().lastPreRender.result_rect;
    const std::int64_t outWidth = std::int64_t{r.right} - r.left;
    const std::int64_t outHeight = std::int64_t{r.bottom} - r.top;
    static_assert(MiniHost::kMaxOutputBytes == std::int64_t{1} << 30);
    if (err == PF_Err_OUT_OF_MEMORY && outWidth > 0 && outHeight > 0 &&
        outWidth * outHeight * PixelSize(depth_) > MiniHost::kMaxOutputBytes) {
      throw PreviewError("smart rendering: the output, " + std::to_string(outWidth) + "x" +
                         std::to_string(outHeight) + " at " + std::to_string(int(depth_)) +
                         " bits, needs more than the 1 GiB the host gives an output");
    }
    Check(err, "smart rendering");
    x = host_.Output().def()->origin_x;
    y = host_.Output().def()->origin_y;
  }
  Frame frame(depth_, area.right - area.left, area.bottom - area.top);
  Paste(ViewOf(host_.Output()), frame, x - area.left, y - area.top);
  return frame;
}

}  // namespace tessaline
