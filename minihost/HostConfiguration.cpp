// The host's configuration between commands: the input and output worlds
// and where they lie, the times, resolution and request it sends, and the
// in_data record built from them.
#include <algorithm>
#include <climits>

#include "minihost/CommandScope.h"
#include "minihost/MiniHost.h"

namespace tessaline {

namespace {

PF_LRect Extent(const World& world) {
  return PF_LRect{0, 0, world.width(), world.height()};
}

}  // namespace

// ---- Records ----

void MiniHost::FillInData(PF_InData& in) const {
  in.effect_ref = EffectRef();
  in.quality = PF_Quality_HI;
  in.version.major = A_short(PF_AE_PLUG_IN_VERSION);
  in.version.minor = A_short(PF_AE_PLUG_IN_SUBVERS);
  in.num_params = ParamCount();
  in.current_time = currentTime_;
  in.time_step = timeStep_;
  // 300 frames, limited to 32 bits for any time step a test sets.
  const std::int64_t total = std::int64_t{timeStep_} * 300;
  in.total_time = A_long(std::clamp<std::int64_t>(total, INT32_MIN, INT32_MAX));
  in.local_time_step = timeStep_;
  in.time_scale = timeScale_;
  in.field = PF_Field_FRAME;
  in.width = layerSizeSet_ ? layerWidth_ : layer_->width();
  in.height = layerSizeSet_ ? layerHeight_ : layer_->height();
  in.extent_hint = Extent(*layer_);
  in.pre_effect_source_origin_x = -inputOriginX_;
  in.pre_effect_source_origin_y = -inputOriginY_;
  in.downsample_x = downsampleX_;
  in.downsample_y = downsampleY_;
  in.pixel_aspect_ratio = PF_RationalScale{1, 1};
  in.pica_basicP = basicAvailable_ ? const_cast<SPBasicSuite*>(&basic_) : nullptr;
  if (sparseHost_) {
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
  if (requestSet_) return request_;
  PF_RenderRequest request{};
  request.rect = InputExtent();
  request.field = PF_Field_FRAME;
  request.channel_mask = PF_ChannelMask_ARGB;
  return request;
}

// ---- Configuration ----

void MiniHost::SetLayer(PixelDepth depth, std::int32_t width, std::int32_t height,
                        std::int32_t rowbytes) {
  layer_ = std::make_unique<World>(depth, width, height, rowbytes);
  controls_.front()->value.u.ld = *layer_->def();
  if (outputFollows_) FollowFrame(depth, layer_->width(), layer_->height());
}

void MiniHost::SetOutput(PixelDepth depth, std::int32_t width, std::int32_t height,
                         std::int32_t rowbytes) {
  outputFollows_ = false;
  output_ = std::make_unique<World>(depth, width, height, rowbytes);
}

void MiniHost::SetFrame(PixelDepth depth, std::int32_t width, std::int32_t height) {
  outputFollows_ = true;
  outputMargins_ = WorldMargins{};
  outputRowbytes_ = 0;
  inputOriginX_ = 0;
  inputOriginY_ = 0;
  output_.reset();
  SetLayer(depth, width, height);
}

void MiniHost::SetOutputWindow(const WorldMargins& margins, std::int32_t rowbytes) {
  outputFollows_ = true;
  outputMargins_ = margins;
  outputRowbytes_ = rowbytes;
  output_.reset();
  FollowFrame(layer_->depth(), layer_->width(), layer_->height());
}

// Re-makes the output that follows the frame when its size or depth differs.
void MiniHost::FollowFrame(PixelDepth depth, std::int32_t width, std::int32_t height) {
  // SetFrame and SetOutputWindow drop the output they replace, so one that is
  // left was made with the current margins and stride.
  const World* o = output_.get();
  if (o != nullptr && o->depth() == depth && o->width() == width && o->height() == height) return;
  output_ = std::make_unique<World>(depth, width, height, outputRowbytes_, outputMargins_);
}

bool MiniHost::PlaceOutput(const PF_LRect& result_rect) {
  if (outputFollows_) {
    const std::int64_t width =
        std::max<std::int64_t>(0, std::int64_t{result_rect.right} - result_rect.left);
    const std::int64_t height =
        std::max<std::int64_t>(0, std::int64_t{result_rect.bottom} - result_rect.top);
    const WorldMargins& m = outputMargins_;
    const std::int64_t bytes =
        (width + m.left + m.right) * (height + m.top + m.bottom) * PixelSize(layer_->depth());
    if (width > INT32_MAX || height > INT32_MAX || bytes > kMaxOutputBytes) return false;
    FollowFrame(layer_->depth(), std::int32_t(width), std::int32_t(height));
  }
  output_->SetOrigin(result_rect.left, result_rect.top);
  return true;
}

void MiniHost::SetInputOrigin(std::int32_t x, std::int32_t y) {
  inputOriginX_ = x;
  inputOriginY_ = y;
}

PF_LRect MiniHost::InputExtent() const {
  if (layer_->width() <= 0 || layer_->height() <= 0) return PF_LRect{};
  return PF_LRect{inputOriginX_, inputOriginY_, inputOriginX_ + layer_->width(),
                  inputOriginY_ + layer_->height()};
}

void MiniHost::SetLayerSize(A_long width, A_long height) {
  layerSizeSet_ = true;
  layerWidth_ = width;
  layerHeight_ = height;
}

void MiniHost::ResetLayerSize() {
  layerSizeSet_ = false;
}

void MiniHost::SetEmptyInput(EmptyInput delivery) {
  emptyInput_ = delivery;
}

// The result_rect answered for a checkout id: of the frame being rendered,
// else of the last one sent without a frame, else the input's whole extent.
PF_LRect MiniHost::CheckoutRectFor(const Scope& scope, A_long id) const {
  const std::vector<LayerCheckout>& made = scope.known != nullptr ? *scope.known : sentCheckouts_;
  for (const LayerCheckout& c : made) {
    if (c.id == id) return c.rect;
  }
  return InputExtent();
}

void MiniHost::SetTime(A_long current_time, A_long time_step, A_u_long time_scale) {
  currentTime_ = current_time;
  timeStep_ = time_step;
  timeScale_ = time_scale;
}

void MiniHost::SetDownsample(PF_RationalScale x, PF_RationalScale y) {
  downsampleX_ = x;
  downsampleY_ = y;
}

void MiniHost::SetOutputRequest(const PF_RenderRequest& request) {
  request_ = request;
  requestSet_ = true;
}

void MiniHost::ResetOutputRequest() {
  requestSet_ = false;
}

void MiniHost::SetCheckoutResultRects(const PF_LRect& result_rect,
                                      const PF_LRect& max_result_rect) {
  std::lock_guard lock(mutex_);
  checkoutResultRect_ = result_rect;
  checkoutMaxResultRect_ = max_result_rect;
  checkoutRectsSet_ = true;
}

void MiniHost::ResetCheckoutResultRects() {
  std::lock_guard lock(mutex_);
  checkoutRectsSet_ = false;
}

void MiniHost::SetBasicSuiteAvailable(bool available) {
  basicAvailable_ = available;
}

void MiniHost::SetSuiteAvailable(HostSuite suite, bool available) {
  std::lock_guard lock(mutex_);
  suiteAvailable_[std::size_t(suite)] = available;
}

}  // namespace tessaline
