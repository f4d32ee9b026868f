#include "host/RenderCommands.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "core/GridComposition.h"
#include "core/GridSettings.h"
#include "host/HostServices.h"
#include "host/LayerGeometry.h"
#include "host/ParamControlValues.h"

namespace tessaline {
namespace {

// The controls that rendering reads, in the order they are checked out.
constexpr std::array<ParamIndex, 19> kSettingsControls = {
    kPreset,          kXSpacing,        kYSpacing,  kXCount,    kYCount,
    kCenterLineColor, kOuterColorCount, kUseColor1, kColor1,    kUseColor2,
    kColor2,          kUseColor3,       kColor3,    kUseColor4, kColor4,
    kLineWidth,       kCenterLineWidth, kOpacity,   kBlendMode};

// The input layer is checked out in pre-render and fetched in render by this id.
constexpr A_long kInputCheckoutId = 0;

// Spacings and widths are in pixels of the full-resolution layer; a draft
// render at a reduced resolution draws them at that resolution, so the grid
// stays where it is in the frame. The record has one width per kind of line,
// used on both axes, so widths follow the smaller of the two factors.
void ScaleToResolution(GridSettings& settings, const PF_InData* in_data) {
  if (in_data == nullptr) return;
  const double x = DownsampleFactor(in_data->downsample_x);
  const double y = DownsampleFactor(in_data->downsample_y);
  const double widths = x < y ? x : y;
  settings.xSpacing *= x;
  settings.ySpacing *= y;
  settings.lineWidth *= widths;
  settings.centerLineWidth *= widths;
}

PixelBuffer AsPixelBuffer(const PF_EffectWorld& world) {
  return PixelBuffer{world.data, world.rowbytes, world.width, world.height};
}

// The stamps write width whole pixels of the depth drawn into every row. A
// world that cannot hold them (a format or flag that does not match the world
// the host allocated) would be written past its end, or through misaligned
// channels: its rows must be long enough, and its rows and pixel memory
// aligned to the channel size.
template <typename Pixel>
bool WorldFitsDepth(const PF_EffectWorld& world) {
  if (world.width <= 0 || world.height <= 0) return true;
  constexpr std::int64_t pixel = sizeof(Pixel);
  constexpr std::int64_t channel = sizeof(typename PixelTraits<Pixel>::Channel);
  const std::int64_t rowbytes = world.rowbytes;
  return std::llabs(rowbytes) >= std::int64_t{world.width} * pixel && rowbytes % channel == 0 &&
         reinterpret_cast<std::uintptr_t>(world.data) % std::uintptr_t(channel) == 0;
}

// An output world with nothing to draw: none (answer 516), or one without
// memory for its rows and columns (516), or one without rows or columns
// (answer 0). Checked before anything is asked of the host.
bool NothingToDraw(const PF_EffectWorld* output, PF_Err* answer) {
  if (output != nullptr && output->width > 0 && output->height > 0 && output->data != nullptr)
    return false;
  *answer = output == nullptr || (output->width > 0 && output->height > 0)
                ? PF_Err_BAD_CALLBACK_PARAM
                : PF_Err_NONE;
  return true;
}

// Runs the composition pass of Pixel's depth (an output with pixels to
// draw). A world without pixels (no rows, no columns or no memory) is no
// source.
template <typename Pixel>
PF_Err RenderPixels(const PF_EffectWorld* source, const PF_EffectWorld& output,
                    const GridSettings& settings, const LayerPlacement& placement) {
  if (!WorldFitsDepth<Pixel>(output)) return PF_Err_BAD_CALLBACK_PARAM;
  PixelBuffer sourceBuffer;
  const PixelBuffer* sourcePixels = nullptr;
  // "Grid Only" reads no source, whatever the host hands over.
  if (settings.blendMode != kBlendGridOnly && source != nullptr && source->data != nullptr &&
      source->width > 0 && source->height > 0) {
    // Rows that cannot hold their pixels at this depth would be read past.
    if (!WorldFitsDepth<Pixel>(*source)) return PF_Err_BAD_CALLBACK_PARAM;
    sourceBuffer = AsPixelBuffer(*source);
    sourcePixels = &sourceBuffer;
  }
  return RenderGrid<Pixel>(sourcePixels, AsPixelBuffer(output), settings, placement);
}

// The pixel type of the output's format: the only place a depth is chosen.
PF_Err RenderAtDepth(PF_PixelFormat format, const PF_EffectWorld* source,
                     const PF_EffectWorld& output, const GridSettings& settings,
                     const LayerPlacement& placement) {
  switch (format) {
    case PF_PixelFormat_ARGB128:
      return RenderPixels<PixelFloat>(source, output, settings, placement);
    case PF_PixelFormat_ARGB64:
      return RenderPixels<Pixel16>(source, output, settings, placement);
    default:
      return RenderPixels<Pixel8>(source, output, settings, placement);
  }
}

// The layer's size as far as the input's max_result_rect tells it; an input
// that can deliver nothing tells nothing.
RenderSize SizeOfInput(const PF_LRect& max_result_rect) {
  if (IsEmpty(max_result_rect)) return RenderSize{0, 0};
  return SizeAround(max_result_rect.left, max_result_rect.top, max_result_rect.right,
                    max_result_rect.bottom);
}

PF_PixelFormat FormatFromWorldFlags(const PF_EffectWorld& world) {
  return (world.world_flags & PF_WorldFlag_DEEP) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
}

PF_Err CheckOutInputLayer(PF_InData& in_data, PF_PreRenderExtra& extra,
                          PF_LRect& inputMaxResultRect) {
  PF_RenderRequest request = extra.input->output_request;
  request.field = PF_Field_FRAME;
  request.preserve_rgb_of_zero_alpha = 1;
  PF_CheckoutResult checkout{};
  const PF_Err err = extra.cb->checkout_layer(in_data.effect_ref, kInputLayer, kInputCheckoutId,
                                              &request, in_data.current_time, in_data.time_step,
                                              in_data.time_scale, &checkout);
  if (err != PF_Err_NONE) return err;
  inputMaxResultRect = checkout.max_result_rect;
  // Everything the effect can draw is the layer and whatever the input holds
  // beyond it (lines cross the whole buffer); it draws what of that is asked for.
  const PF_LRect all =
      Union(LayerRect(in_data, SizeOfInput(inputMaxResultRect)), inputMaxResultRect);
  extra.output->max_result_rect = all;
  extra.output->result_rect = Intersection(all, extra.input->output_request.rect);
  extra.output->solid = 0;
  return PF_Err_NONE;
}

}  // namespace

PF_Err SmartPreRender(PF_InData* in_data, PF_PreRenderExtra* extra) {
  if (in_data == nullptr || extra == nullptr || extra->input == nullptr ||
      extra->output == nullptr || extra->cb == nullptr || extra->cb->checkout_layer == nullptr ||
      in_data->inter.checkout_param == nullptr || in_data->inter.checkin_param == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  std::array<PF_ParamDef, kParamCount> records{};
  std::array<const PF_ParamDef*, kParamCount> table{};
  for (int i = 0; i < kParamCount; ++i) table[i] = &records[i];
  std::array<bool, kParamCount> checkedOut{};

  PF_Err err = PF_Err_NONE;
  for (ParamIndex index : kSettingsControls) {
    records[index] = PF_ParamDef{};
    err = in_data->inter.checkout_param(in_data->effect_ref, index, in_data->current_time,
                                        in_data->time_step, in_data->time_scale, &records[index]);
    if (err != PF_Err_NONE) break;
    checkedOut[index] = true;
  }

  PreRenderRecord* record = nullptr;
  if (err == PF_Err_NONE) {
    record = new (std::nothrow) PreRenderRecord{};
    if (record == nullptr) {
      err = PF_Err_OUT_OF_MEMORY;
    } else {
      record->settings = ResolveGridSettings(ParamControlValues(table.data()));
      ScaleToResolution(record->settings, in_data);
      extra->output->pre_render_data = record;
      extra->output->delete_pre_render_data_func = ReleaseGridSettings;
    }
  }
  if (err == PF_Err_NONE) err = CheckOutInputLayer(*in_data, *extra, record->inputMaxResultRect);

  for (ParamIndex index : kSettingsControls) {
    if (checkedOut[index]) in_data->inter.checkin_param(in_data->effect_ref, &records[index]);
  }
  if (err != PF_Err_NONE && record != nullptr) {
    ReleaseGridSettings(record);
    extra->output->pre_render_data = nullptr;
    extra->output->delete_pre_render_data_func = nullptr;
  }
  return err;
}

void ReleaseGridSettings(void* pre_render_data) {
  delete static_cast<PreRenderRecord*>(pre_render_data);
}

PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra) {
  if (in_data == nullptr || out_data == nullptr || extra == nullptr || extra->input == nullptr ||
      extra->cb == nullptr || extra->input->pre_render_data == nullptr ||
      extra->cb->checkout_layer_pixels == nullptr || extra->cb->checkout_output == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const PreRenderRecord& record =
      *static_cast<const PreRenderRecord*>(extra->input->pre_render_data);
  const GridSettings& settings = record.settings;
  PF_EffectWorld* source = nullptr;  // may stay null: a layer with no pixels here
  // Every mode but "Grid Only" composites over the source, as the pass does.
  if (settings.blendMode != kBlendGridOnly) {
    const PF_Err err =
        extra->cb->checkout_layer_pixels(in_data->effect_ref, kInputCheckoutId, &source);
    if (err != PF_Err_NONE) return err;
  }
  PF_EffectWorld* output = nullptr;
  if (const PF_Err err = extra->cb->checkout_output(in_data->effect_ref, &output);
      err != PF_Err_NONE) {
    return err;
  }
  if (PF_Err answer; NothingToDraw(output, &answer)) return answer;
  // The worlds' origins place them in the layer.
  const LayerCenter center = CenterOf(*in_data, SizeOfInput(record.inputMaxResultRect));
  LayerPlacement placement{center.x - output->origin_x, center.y - output->origin_y, 0, 0};
  if (source != nullptr) {
    placement.sourceX = std::int64_t{source->origin_x} - output->origin_x;
    placement.sourceY = std::int64_t{source->origin_y} - output->origin_y;
  }
  return RenderAtDepth(ChoosePixelFormat(in_data, output), source, *output, settings, placement);
}

PF_Err LegacyRender(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output) {
  if (params == nullptr || output == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  // The host passes every record; a missing one cannot be read.
  if (params[kInputLayer] == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  for (ParamIndex index : kSettingsControls) {
    if (params[index] == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (PF_Err answer; NothingToDraw(output, &answer)) return answer;
  GridSettings settings = ResolveGridSettings(ParamControlValues(params));
  ScaleToResolution(settings, in_data);
  const PF_PixelFormat format = in_data != nullptr && out_data != nullptr
                                    ? ChoosePixelFormat(in_data, output)
                                    : FormatFromWorldFlags(*output);
  // The input and output share their geometry; an earlier effect that grew
  // the buffer moved the layer's (0, 0) to the pre-effect source origin.
  // Without the layer's size, the output world around the layer tells it.
  LayerPlacement placement = CenteredPlacement(AsPixelBuffer(*output));
  if (in_data != nullptr) {
    const std::int64_t x = in_data->pre_effect_source_origin_x;
    const std::int64_t y = in_data->pre_effect_source_origin_y;
    const LayerCenter center =
        CenterOf(*in_data, SizeAround(-x, -y, output->width - x, output->height - y));
    placement.centerX = center.x + double(x);
    placement.centerY = center.y + double(y);
  }
  return RenderAtDepth(format, &params[kInputLayer]->u.ld, *output, settings, placement);
}

PF_PixelFormat ChoosePixelFormat(PF_InData* in_data, const PF_EffectWorld* world) {
  PF_PixelFormat format = PF_PixelFormat_INVALID;
  if (in_data != nullptr) {
    ScopedSuite<PF_WorldSuite2> worldSuite(in_data);
    if (worldSuite && worldSuite->PF_GetPixelFormat != nullptr &&
        worldSuite->PF_GetPixelFormat(world, &format) != PF_Err_NONE) {
      format = PF_PixelFormat_INVALID;
    }
  }
  if (format == PF_PixelFormat_INVALID) format = FormatFromWorldFlags(*world);
  return format;
}

}  // namespace tessaline
