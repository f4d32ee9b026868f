// The host's configuration between commands: the input and output worlds
// and where they lie, the times, resolution and request it sends, and the
// in_data record built from them.
#include <algorithm>
#include <climits>
#include <utility>
#include <variant>

#include "minihost/CommandScope.h"
#include "minihost/MiniHost.h"

namespace tessaline {

// ---- Records ----

void MiniHost::FillInData(PF_InData& in) const {
  in.effect_ref = EffectRef();
  in.quality = PF_Quality_HI;
  in.version.major = A_short(PF_AE_PLUG_IN_VERSION);
  in.version.minor = A_short(PF_AE_PLUG_IN_SUBVERS);
  in.num_params = ParamCount();
  const HostConfig& c = config_;
  in.current_time = c.times.current;
  in.time_step = c.times.step;
  // 300 frames, limited to 32 bits for any time step a test sets.
  const std::int64_t total = std::int64_t{c.times.step} * 300;
  in.total_time = A_long(std::clamp<std::int64_t>(total, INT32_MIN, INT32_MAX));
  in.local_time_step = c.times.step;
  in.time_scale = c.times.scale;
  in.field = PF_Field_FRAME;
  in.width = c.layerSize ? c.layerSize->width : layer_->width();
  in.height = c.layerSize ? c.layerSize->height : layer_->height();
  in.extent_hint = PF_LRect{0, 0, layer_->width(), layer_->height()};
  in.pre_effect_source_origin_x = -c.inputOrigin.x;
  in.pre_effect_source_origin_y = -c.inputOrigin.y;
  in.downsample_x = c.downsample.x;
  in.downsample_y = c.downsample.y;
  in.pixel_aspect_ratio = PF_RationalScale{1, 1};
  in.pica_basicP = c.basicSuite ? const_cast<SPBasicSuite*>(&basic_) : nullptr;
  if (c.sparseHost) {
    in.version = PF_SpecVersion{};
    in.appl_id = 0;
    in.current_time = in.time_step = in.total_time = in.local_time_step = 0;
    in.time_scale = 0;
    in.width = in.height = 0;
    in.extent_hint = PF_LRect{};
    in.downsample_x = in.downsample_y = in.pixel_aspect_ratio = PF_RationalScale{0, 0};
  }
}

PF_OutData MiniHost::MakeOutData() const {
  PF_OutData out{};
  out.num_params = ParamCount();
  return out;
}

PF_RenderRequest MiniHost::CurrentRequest() const {
  if (config_.outputRequest) return *config_.outputRequest;
  PF_RenderRequest request{};
  request.rect = config_.InputExtent();
  request.field = PF_Field_FRAME;
  request.channel_mask = PF_ChannelMask_ARGB;
  return request;
}

// ---- Configuration ----

void MiniHost::Configure(const HostConfig& config) {
  HostConfig previous;
  {
    std::lock_guard lock(mutex_);
    previous = std::exchange(config_, config);
  }
  const WorldGeometry& in = config.input;
  const bool newInput = layer_ == nullptr || in != previous.input;
  if (newInput) {
    layer_ = std::make_unique<World>(in.depth, in.width, in.height, in.rowbytes);
    if (!controls_.empty()) controls_.front()->value.u.ld = *layer_->def();
  }
  const bool newOutput = output_ == nullptr || config.output != previous.output;
  if (newOutput) output_.reset();
  if (const auto* fixed = std::get_if<WorldGeometry>(&config.output)) {
    if (newOutput) {
      output_ = std::make_unique<World>(fixed->depth, fixed->width, fixed->height, fixed->rowbytes);
    }
  } else if (newInput || newOutput) {
    FollowFrame(layer_->depth(), layer_->width(), layer_->height());
  }
}

// Re-makes the output that follows the frame when its size or depth differs.
void MiniHost::FollowFrame(PixelDepth depth, std::int32_t width, std::int32_t height) {
  // Configure drops the output when the window changes, so one that is left
  // was made with the current margins and stride.
  const World* o = output_.get();
  if (o != nullptr && o->depth() == depth && o->width() == width && o->height() == height) return;
  const FollowingOutput& window = std::get<FollowingOutput>(config_.output);
  output_ = std::make_unique<World>(depth, width, height, window.rowbytes, window.margins);
}

bool MiniHost::PlaceOutput(const PF_LRect& result_rect) {
  if (const auto* window = std::get_if<FollowingOutput>(&config_.output)) {
    const std::int64_t width =
        std::max<std::int64_t>(0, std::int64_t{result_rect.right} - result_rect.left);
    const std::int64_t height =
        std::max<std::int64_t>(0, std::int64_t{result_rect.bottom} - result_rect.top);
    const WorldMargins& m = window->margins;
    const std::int64_t bytes =
        (width + m.left + m.right) * (height + m.top + m.bottom) * PixelSize(layer_->depth());
    if (width > INT32_MAX || height > INT32_MAX || bytes > kMaxOutputBytes) return false;
    FollowFrame(layer_->depth(), std::int32_t(width), std::int32_t(height));
  }
  output_->SetOrigin(result_rect.left, result_rect.top);
  return true;
}

// The result_rect answered for a checkout id: of the frame being rendered,
// else of the last one sent without a frame, else the input's whole extent.
PF_LRect MiniHost::CheckoutRectFor(const Scope& scope, A_long id) const {
  const std::vector<LayerCheckout>& made = scope.known != nullptr ? *scope.known : sentCheckouts_;
  for (const LayerCheckout& c : made) {
    if (c.id == id) return c.rect;
  }
  return config_.InputExtent();
}

}  // namespace tessaline
