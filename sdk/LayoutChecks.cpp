// Compile-time proof that the host SDK declarations seen through
// host/HostSdk.h have the 64-bit Windows host's layout: sizes, alignments,
// field offsets and types, callback prototypes and constant values. The same
// checks hold for the compatibility headers in sdk/ and for the official SDK.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

#include "host/HostSdk.h"

namespace {

#define CHECK_RECORD(T, size, align)              \
  static_assert(sizeof(T) == (size), #T " size"); \
  static_assert(alignof(T) == (align), #T " alignment")

// Offset and declared type of one field (nested fields as "a.b").
#define CHECK_FIELD(T, field, type, offset)                               \
  static_assert(offsetof(T, field) == (offset), #T "." #field " offset"); \
  static_assert(std::is_same_v<decltype(std::declval<T&>().field), type>, #T "." #field " type")

// Offset and size only, for fields whose declared type may differ between
// header sets (opaque pointers).
#define CHECK_SLOT(T, field, size, offset)                                \
  static_assert(offsetof(T, field) == (offset), #T "." #field " offset"); \
  static_assert(sizeof(std::declval<T&>().field) == (size), #T "." #field " size")

using std::int16_t;
using std::int32_t;
using std::int64_t;
using std::uint16_t;
using std::uint32_t;
using std::uint64_t;
using std::uint8_t;

// ---- Scalar types ----------------------------------------------------------

static_assert(std::is_same_v<A_long, int32_t>);
static_assert(std::is_same_v<A_u_long, uint32_t>);
static_assert(std::is_same_v<A_short, int16_t>);
static_assert(std::is_same_v<A_u_short, uint16_t>);
static_assert(std::is_same_v<A_char, char>);
static_assert(std::is_same_v<A_u_char, uint8_t>);
static_assert(std::is_same_v<A_Boolean, uint8_t>);
static_assert(std::is_same_v<A_FpLong, double>);
static_assert(std::is_same_v<A_FpShort, float>);
static_assert(std::is_same_v<A_intptr_t, int64_t>);
static_assert(std::is_same_v<A_u_longlong, uint64_t>);
static_assert(std::is_same_v<PF_Err, int32_t>);
static_assert(std::is_same_v<PF_Cmd, int32_t>);
static_assert(std::is_same_v<PF_ParamIndex, int32_t>);
static_assert(std::is_same_v<PF_ParamValue, int32_t>);
static_assert(std::is_same_v<PF_Fixed, int32_t>);
static_assert(std::is_same_v<PF_Boolean, char>);
static_assert(std::is_same_v<PF_FpLong, double>);
static_assert(std::is_same_v<PF_FpShort, float>);
static_assert(std::is_same_v<PF_Handle, void**>);
static_assert(std::is_same_v<PF_ParamDefPtr, PF_ParamDef*>);
static_assert(std::is_same_v<PF_ParamList, PF_ParamDef**>);
static_assert(std::is_same_v<PF_PixelFormat, int32_t>);
static_assert(std::is_same_v<PF_EffectWorld, PF_LayerDef>);
static_assert(std::is_same_v<PF_Pixel8, PF_Pixel>);
static_assert(std::is_same_v<PF_Pixel32, PF_PixelFloat>);
static_assert(std::is_same_v<PF_Rect, PF_LRect>);
static_assert(std::is_same_v<SPErr, int32_t>);
static_assert(std::is_same_v<SPBoolean, int32_t>);
static_assert(std::is_pointer_v<PF_ProgPtr> && sizeof(PF_ProgPtr) == 8);
static_assert(sizeof(PF_PixelPtr) == 8);
static_assert(std::is_same_v<PF_DeletePreRenderDataFunc, void (*)(void*)>);

// ---- Small records ---------------------------------------------------------

CHECK_RECORD(PF_LRect, 16, 4);
CHECK_FIELD(PF_LRect, left, int32_t, 0);
CHECK_FIELD(PF_LRect, top, int32_t, 4);
CHECK_FIELD(PF_LRect, right, int32_t, 8);
CHECK_FIELD(PF_LRect, bottom, int32_t, 12);

CHECK_RECORD(PF_Point, 8, 4);
CHECK_FIELD(PF_Point, h, int32_t, 0);
CHECK_FIELD(PF_Point, v, int32_t, 4);

CHECK_RECORD(PF_RationalScale, 8, 4);
CHECK_FIELD(PF_RationalScale, num, int32_t, 0);
CHECK_FIELD(PF_RationalScale, den, uint32_t, 4);

CHECK_RECORD(PF_SpecVersion, 4, 2);
CHECK_FIELD(PF_SpecVersion, major, int16_t, 0);
CHECK_FIELD(PF_SpecVersion, minor, int16_t, 2);

CHECK_RECORD(A_Time, 8, 4);
CHECK_FIELD(A_Time, value, int32_t, 0);
CHECK_FIELD(A_Time, scale, uint32_t, 4);

CHECK_RECORD(PF_State, 16, 4);
CHECK_FIELD(PF_State, reservedAL, int32_t[4], 0);

CHECK_RECORD(PF_SoundFormatInfo, 16, 8);
CHECK_FIELD(PF_SoundFormatInfo, rateF, double, 0);
CHECK_FIELD(PF_SoundFormatInfo, num_channels, int16_t, 8);
CHECK_FIELD(PF_SoundFormatInfo, format, int16_t, 10);
CHECK_FIELD(PF_SoundFormatInfo, sample_size, int16_t, 12);

CHECK_RECORD(PF_SoundWorld, 32, 8);
CHECK_FIELD(PF_SoundWorld, fi, PF_SoundFormatInfo, 0);
CHECK_FIELD(PF_SoundWorld, num_samples, int32_t, 16);
CHECK_FIELD(PF_SoundWorld, dataP, void*, 24);

// ---- Pixels ----------------------------------------------------------------

CHECK_RECORD(PF_Pixel, 4, 1);
CHECK_FIELD(PF_Pixel, alpha, uint8_t, 0);
CHECK_FIELD(PF_Pixel, red, uint8_t, 1);
CHECK_FIELD(PF_Pixel, green, uint8_t, 2);
CHECK_FIELD(PF_Pixel, blue, uint8_t, 3);

CHECK_RECORD(PF_Pixel16, 8, 2);
CHECK_FIELD(PF_Pixel16, alpha, uint16_t, 0);
CHECK_FIELD(PF_Pixel16, red, uint16_t, 2);
CHECK_FIELD(PF_Pixel16, green, uint16_t, 4);
CHECK_FIELD(PF_Pixel16, blue, uint16_t, 6);

CHECK_RECORD(PF_PixelFloat, 16, 4);
CHECK_FIELD(PF_PixelFloat, alpha, float, 0);
CHECK_FIELD(PF_PixelFloat, red, float, 4);
CHECK_FIELD(PF_PixelFloat, green, float, 8);
CHECK_FIELD(PF_PixelFloat, blue, float, 12);

// ---- Interaction callbacks -------------------------------------------------

using CheckoutParamFn = int32_t (*)(PF_ProgPtr, int32_t, int32_t, int32_t, uint32_t, PF_ParamDef*);
using CheckinParamFn = int32_t (*)(PF_ProgPtr, PF_ParamDef*);
using AddParamFn = int32_t (*)(PF_ProgPtr, int32_t, PF_ParamDef*);
using AbortFn = int32_t (*)(PF_ProgPtr);
using ProgressFn = int32_t (*)(PF_ProgPtr, int32_t, int32_t);

CHECK_RECORD(PF_InteractCallbacks, 176, 8);
CHECK_FIELD(PF_InteractCallbacks, checkout_param, CheckoutParamFn, 0);
CHECK_FIELD(PF_InteractCallbacks, checkin_param, CheckinParamFn, 8);
CHECK_FIELD(PF_InteractCallbacks, add_param, AddParamFn, 16);
CHECK_FIELD(PF_InteractCallbacks, abort, AbortFn, 24);
CHECK_FIELD(PF_InteractCallbacks, progress, ProgressFn, 32);
CHECK_SLOT(PF_InteractCallbacks, register_ui, 8, 40);
CHECK_SLOT(PF_InteractCallbacks, checkout_layer_audio, 8, 48);
CHECK_SLOT(PF_InteractCallbacks, checkin_layer_audio, 8, 56);
CHECK_SLOT(PF_InteractCallbacks, get_audio_data, 8, 64);
CHECK_FIELD(PF_InteractCallbacks, reserved_str, void* [3], 72);
CHECK_FIELD(PF_InteractCallbacks, reserved, void* [10], 96);

// ---- PF_InData -------------------------------------------------------------

CHECK_RECORD(PF_InData, 408, 8);
CHECK_FIELD(PF_InData, inter, PF_InteractCallbacks, 0);
CHECK_SLOT(PF_InData, utils, 8, 176);
CHECK_FIELD(PF_InData, effect_ref, PF_ProgPtr, 184);
CHECK_FIELD(PF_InData, quality, int32_t, 192);
CHECK_FIELD(PF_InData, version, PF_SpecVersion, 196);
CHECK_FIELD(PF_InData, serial_num, int32_t, 200);
CHECK_FIELD(PF_InData, appl_id, int32_t, 204);
CHECK_FIELD(PF_InData, num_params, int32_t, 208);
CHECK_FIELD(PF_InData, reserved, int32_t, 212);
CHECK_FIELD(PF_InData, what_cpu, int32_t, 216);
CHECK_FIELD(PF_InData, what_fpu, int32_t, 220);
CHECK_FIELD(PF_InData, current_time, int32_t, 224);
CHECK_FIELD(PF_InData, time_step, int32_t, 228);
CHECK_FIELD(PF_InData, total_time, int32_t, 232);
CHECK_FIELD(PF_InData, local_time_step, int32_t, 236);
CHECK_FIELD(PF_InData, time_scale, uint32_t, 240);
CHECK_FIELD(PF_InData, field, int32_t, 244);
CHECK_FIELD(PF_InData, shutter_angle, int32_t, 248);
CHECK_FIELD(PF_InData, width, int32_t, 252);
CHECK_FIELD(PF_InData, height, int32_t, 256);
CHECK_FIELD(PF_InData, extent_hint, PF_LRect, 260);
CHECK_FIELD(PF_InData, output_origin_x, int32_t, 276);
CHECK_FIELD(PF_InData, output_origin_y, int32_t, 280);
CHECK_FIELD(PF_InData, downsample_x, PF_RationalScale, 284);
CHECK_FIELD(PF_InData, downsample_y, PF_RationalScale, 292);
CHECK_FIELD(PF_InData, pixel_aspect_ratio, PF_RationalScale, 300);
CHECK_FIELD(PF_InData, in_flags, int32_t, 308);
CHECK_FIELD(PF_InData, global_data, void**, 312);
CHECK_FIELD(PF_InData, sequence_data, void**, 320);
CHECK_FIELD(PF_InData, frame_data, void**, 328);
CHECK_FIELD(PF_InData, start_sampL, int32_t, 336);
CHECK_FIELD(PF_InData, dur_sampL, int32_t, 340);
CHECK_FIELD(PF_InData, total_sampL, int32_t, 344);
CHECK_FIELD(PF_InData, src_snd, PF_SoundWorld, 352);
CHECK_FIELD(PF_InData, pica_basicP, SPBasicSuite*, 384);
CHECK_FIELD(PF_InData, pre_effect_source_origin_x, int32_t, 392);
CHECK_FIELD(PF_InData, pre_effect_source_origin_y, int32_t, 396);
CHECK_FIELD(PF_InData, shutter_phase, int32_t, 400);

// ---- PF_OutData ------------------------------------------------------------

CHECK_RECORD(PF_OutData, 408, 8);
CHECK_FIELD(PF_OutData, my_version, uint32_t, 0);
CHECK_FIELD(PF_OutData, name, char[32], 4);
CHECK_FIELD(PF_OutData, global_data, void**, 40);
CHECK_FIELD(PF_OutData, num_params, int32_t, 48);
CHECK_FIELD(PF_OutData, sequence_data, void**, 56);
CHECK_FIELD(PF_OutData, flat_sdata_size, int32_t, 64);
CHECK_FIELD(PF_OutData, frame_data, void**, 72);
CHECK_FIELD(PF_OutData, width, int32_t, 80);
CHECK_FIELD(PF_OutData, height, int32_t, 84);
CHECK_FIELD(PF_OutData, origin, PF_Point, 88);
CHECK_FIELD(PF_OutData, out_flags, int32_t, 96);
CHECK_FIELD(PF_OutData, return_msg, char[256], 100);
CHECK_FIELD(PF_OutData, start_sampL, int32_t, 356);
CHECK_FIELD(PF_OutData, dur_sampL, int32_t, 360);
CHECK_FIELD(PF_OutData, dest_snd, PF_SoundWorld, 368);
CHECK_FIELD(PF_OutData, out_flags2, int32_t, 400);

// ---- Worlds ----------------------------------------------------------------

CHECK_RECORD(PF_LayerDef, 120, 8);
CHECK_FIELD(PF_LayerDef, reserved0, void*, 0);
CHECK_FIELD(PF_LayerDef, reserved1, void*, 8);
CHECK_FIELD(PF_LayerDef, world_flags, int32_t, 16);
CHECK_SLOT(PF_LayerDef, data, 8, 24);
CHECK_FIELD(PF_LayerDef, rowbytes, int32_t, 32);
CHECK_FIELD(PF_LayerDef, width, int32_t, 36);
CHECK_FIELD(PF_LayerDef, height, int32_t, 40);
CHECK_FIELD(PF_LayerDef, extent_hint, PF_LRect, 44);
CHECK_FIELD(PF_LayerDef, platform_ref, void*, 64);
CHECK_FIELD(PF_LayerDef, reserved_long1, int32_t, 72);
CHECK_FIELD(PF_LayerDef, reserved_long4, void*, 80);
CHECK_FIELD(PF_LayerDef, pix_aspect_ratio, PF_RationalScale, 88);
CHECK_FIELD(PF_LayerDef, reserved_long2, void*, 96);
CHECK_FIELD(PF_LayerDef, origin_x, int32_t, 104);
CHECK_FIELD(PF_LayerDef, origin_y, int32_t, 108);
CHECK_FIELD(PF_LayerDef, reserved_long3, int32_t, 112);
CHECK_FIELD(PF_LayerDef, dephault, int32_t, 116);

// ---- Parameter definitions -------------------------------------------------

CHECK_RECORD(PF_SliderDef, 88, 4);
CHECK_FIELD(PF_SliderDef, value, int32_t, 0);
CHECK_FIELD(PF_SliderDef, value_str, char[32], 4);
CHECK_FIELD(PF_SliderDef, value_desc, char[32], 36);
CHECK_FIELD(PF_SliderDef, valid_min, int32_t, 68);
CHECK_FIELD(PF_SliderDef, valid_max, int32_t, 72);
CHECK_FIELD(PF_SliderDef, slider_min, int32_t, 76);
CHECK_FIELD(PF_SliderDef, slider_max, int32_t, 80);
CHECK_FIELD(PF_SliderDef, dephault, int32_t, 84);

CHECK_RECORD(PF_FixedSliderDef, 92, 4);
CHECK_FIELD(PF_FixedSliderDef, value, int32_t, 0);
CHECK_FIELD(PF_FixedSliderDef, dephault, int32_t, 84);
CHECK_FIELD(PF_FixedSliderDef, precision, int16_t, 88);
CHECK_FIELD(PF_FixedSliderDef, display_flags, int16_t, 90);

CHECK_RECORD(PF_FloatSliderDef, 88, 8);
CHECK_FIELD(PF_FloatSliderDef, value, double, 0);
CHECK_FIELD(PF_FloatSliderDef, phase, double, 8);
CHECK_FIELD(PF_FloatSliderDef, value_desc, char[32], 16);
CHECK_FIELD(PF_FloatSliderDef, valid_min, float, 48);
CHECK_FIELD(PF_FloatSliderDef, valid_max, float, 52);
CHECK_FIELD(PF_FloatSliderDef, slider_min, float, 56);
CHECK_FIELD(PF_FloatSliderDef, slider_max, float, 60);
CHECK_FIELD(PF_FloatSliderDef, dephault, float, 64);
CHECK_FIELD(PF_FloatSliderDef, precision, int16_t, 68);
CHECK_FIELD(PF_FloatSliderDef, display_flags, int16_t, 70);
CHECK_FIELD(PF_FloatSliderDef, fs_flags, uint32_t, 72);
CHECK_FIELD(PF_FloatSliderDef, curve_tolerance, float, 76);
CHECK_FIELD(PF_FloatSliderDef, useExponent, char, 80);
CHECK_FIELD(PF_FloatSliderDef, exponent, float, 84);

CHECK_RECORD(PF_AngleDef, 16, 4);
CHECK_RECORD(PF_PointDef, 20, 4);
CHECK_RECORD(PF_PathDef, 12, 4);
CHECK_RECORD(PF_ArbitraryDef, 32, 8);
CHECK_RECORD(PF_Point3DDef, 64, 8);

CHECK_RECORD(PF_CheckBoxDef, 16, 8);
CHECK_FIELD(PF_CheckBoxDef, value, int32_t, 0);
CHECK_FIELD(PF_CheckBoxDef, dephault, char, 4);
CHECK_FIELD(PF_CheckBoxDef, reserved, char, 5);
CHECK_FIELD(PF_CheckBoxDef, reserved1, int16_t, 6);
CHECK_FIELD(PF_CheckBoxDef, u.nameptr, const char*, 8);

CHECK_RECORD(PF_ColorDef, 8, 1);
CHECK_FIELD(PF_ColorDef, value, PF_Pixel, 0);
CHECK_FIELD(PF_ColorDef, dephault, PF_Pixel, 4);

CHECK_RECORD(PF_PopupDef, 16, 8);
CHECK_FIELD(PF_PopupDef, value, int32_t, 0);
CHECK_FIELD(PF_PopupDef, num_choices, int16_t, 4);
CHECK_FIELD(PF_PopupDef, dephault, int16_t, 6);
CHECK_FIELD(PF_PopupDef, u.namesptr, const char*, 8);

CHECK_RECORD(PF_ButtonDef, 16, 8);
CHECK_FIELD(PF_ButtonDef, u.namesptr, const char*, 8);

CHECK_RECORD(PF_ParamDefUnion, 120, 8);
CHECK_FIELD(PF_ParamDefUnion, ld, PF_LayerDef, 0);
CHECK_FIELD(PF_ParamDefUnion, sd, PF_SliderDef, 0);
CHECK_FIELD(PF_ParamDefUnion, fd, PF_FixedSliderDef, 0);
CHECK_FIELD(PF_ParamDefUnion, ad, PF_AngleDef, 0);
CHECK_FIELD(PF_ParamDefUnion, bd, PF_CheckBoxDef, 0);
CHECK_FIELD(PF_ParamDefUnion, cd, PF_ColorDef, 0);
CHECK_FIELD(PF_ParamDefUnion, td, PF_PointDef, 0);
CHECK_FIELD(PF_ParamDefUnion, pd, PF_PopupDef, 0);
CHECK_FIELD(PF_ParamDefUnion, fs_d, PF_FloatSliderDef, 0);
CHECK_FIELD(PF_ParamDefUnion, arb_d, PF_ArbitraryDef, 0);
CHECK_FIELD(PF_ParamDefUnion, path_d, PF_PathDef, 0);
CHECK_FIELD(PF_ParamDefUnion, button_d, PF_ButtonDef, 0);
CHECK_FIELD(PF_ParamDefUnion, point3d_d, PF_Point3DDef, 0);

CHECK_RECORD(PF_ParamDef, 176, 8);
CHECK_FIELD(PF_ParamDef, uu.id, int32_t, 0);
CHECK_FIELD(PF_ParamDef, uu.change_flags, int32_t, 0);
CHECK_FIELD(PF_ParamDef, ui_flags, int32_t, 4);
CHECK_FIELD(PF_ParamDef, ui_width, int16_t, 8);
CHECK_FIELD(PF_ParamDef, ui_height, int16_t, 10);
CHECK_FIELD(PF_ParamDef, param_type, int32_t, 12);
CHECK_FIELD(PF_ParamDef, name, char[32], 16);
CHECK_FIELD(PF_ParamDef, flags, int32_t, 48);
CHECK_FIELD(PF_ParamDef, unused, int32_t, 52);
CHECK_FIELD(PF_ParamDef, u, PF_ParamDefUnion, 56);
CHECK_FIELD(PF_ParamDef, u.pd.u.namesptr, const char*, 64);
CHECK_FIELD(PF_ParamDef, u.bd.u.nameptr, const char*, 64);
CHECK_FIELD(PF_ParamDef, u.fs_d.value, double, 56);
CHECK_FIELD(PF_ParamDef, u.ld.data, PF_PixelPtr, 80);

// ---- Command extras --------------------------------------------------------

CHECK_RECORD(PF_UserChangedParamExtra, 4, 4);
CHECK_FIELD(PF_UserChangedParamExtra, param_index, int32_t, 0);

CHECK_RECORD(PF_RenderRequest, 44, 4);
CHECK_FIELD(PF_RenderRequest, rect, PF_LRect, 0);
CHECK_FIELD(PF_RenderRequest, field, int32_t, 16);
CHECK_FIELD(PF_RenderRequest, channel_mask, int32_t, 20);
CHECK_FIELD(PF_RenderRequest, preserve_rgb_of_zero_alpha, char, 24);
CHECK_FIELD(PF_RenderRequest, unused, char[3], 25);
CHECK_FIELD(PF_RenderRequest, reserved, int32_t[4], 28);

CHECK_RECORD(PF_PreRenderInput, 64, 8);
CHECK_FIELD(PF_PreRenderInput, output_request, PF_RenderRequest, 0);
CHECK_FIELD(PF_PreRenderInput, bitdepth, short, 44);
CHECK_FIELD(PF_PreRenderInput, gpu_data, const void*, 48);
CHECK_FIELD(PF_PreRenderInput, what_gpu, int32_t, 56);
CHECK_FIELD(PF_PreRenderInput, device_index, uint32_t, 60);

CHECK_RECORD(PF_PreRenderOutput, 56, 8);
CHECK_FIELD(PF_PreRenderOutput, result_rect, PF_LRect, 0);
CHECK_FIELD(PF_PreRenderOutput, max_result_rect, PF_LRect, 16);
CHECK_FIELD(PF_PreRenderOutput, solid, char, 32);
CHECK_FIELD(PF_PreRenderOutput, reserved, char, 33);
CHECK_FIELD(PF_PreRenderOutput, flags, int16_t, 34);
CHECK_FIELD(PF_PreRenderOutput, pre_render_data, void*, 40);
CHECK_FIELD(PF_PreRenderOutput, delete_pre_render_data_func, PF_DeletePreRenderDataFunc, 48);

CHECK_RECORD(PF_CheckoutResult, 76, 4);
CHECK_FIELD(PF_CheckoutResult, result_rect, PF_LRect, 0);
CHECK_FIELD(PF_CheckoutResult, max_result_rect, PF_LRect, 16);
CHECK_FIELD(PF_CheckoutResult, par, PF_RationalScale, 32);
CHECK_FIELD(PF_CheckoutResult, solid, char, 40);
CHECK_FIELD(PF_CheckoutResult, reservedB, char[3], 41);
CHECK_FIELD(PF_CheckoutResult, ref_width, int32_t, 44);
CHECK_FIELD(PF_CheckoutResult, ref_height, int32_t, 48);
CHECK_FIELD(PF_CheckoutResult, reserved, int32_t[6], 52);

using CheckoutLayerFn = int32_t (*)(PF_ProgPtr, int32_t, int32_t, const PF_RenderRequest*, int32_t,
                                    int32_t, uint32_t, PF_CheckoutResult*);
using GuidMixInFn = int32_t (*)(PF_ProgPtr, uint32_t, const void*);

CHECK_RECORD(PF_PreRenderCallbacks, 16, 8);
CHECK_FIELD(PF_PreRenderCallbacks, checkout_layer, CheckoutLayerFn, 0);
CHECK_FIELD(PF_PreRenderCallbacks, GuidMixInPtr, GuidMixInFn, 8);

CHECK_RECORD(PF_PreRenderExtra, 24, 8);
CHECK_FIELD(PF_PreRenderExtra, input, PF_PreRenderInput*, 0);
CHECK_FIELD(PF_PreRenderExtra, output, PF_PreRenderOutput*, 8);
CHECK_FIELD(PF_PreRenderExtra, cb, PF_PreRenderCallbacks*, 16);

CHECK_RECORD(PF_SmartRenderInput, 72, 8);
CHECK_FIELD(PF_SmartRenderInput, output_request, PF_RenderRequest, 0);
CHECK_FIELD(PF_SmartRenderInput, bitdepth, short, 44);
CHECK_FIELD(PF_SmartRenderInput, pre_render_data, void*, 48);
CHECK_FIELD(PF_SmartRenderInput, gpu_data, const void*, 56);
CHECK_FIELD(PF_SmartRenderInput, what_gpu, int32_t, 64);
CHECK_FIELD(PF_SmartRenderInput, device_index, uint32_t, 68);

using CheckoutLayerPixelsFn = int32_t (*)(PF_ProgPtr, int32_t, PF_LayerDef**);
using CheckinLayerPixelsFn = int32_t (*)(PF_ProgPtr, int32_t);
using CheckoutOutputFn = int32_t (*)(PF_ProgPtr, PF_LayerDef**);

CHECK_RECORD(PF_SmartRenderCallbacks, 24, 8);
CHECK_FIELD(PF_SmartRenderCallbacks, checkout_layer_pixels, CheckoutLayerPixelsFn, 0);
CHECK_FIELD(PF_SmartRenderCallbacks, checkin_layer_pixels, CheckinLayerPixelsFn, 8);
CHECK_FIELD(PF_SmartRenderCallbacks, checkout_output, CheckoutOutputFn, 16);

CHECK_RECORD(PF_SmartRenderExtra, 16, 8);
CHECK_FIELD(PF_SmartRenderExtra, input, PF_SmartRenderInput*, 0);
CHECK_FIELD(PF_SmartRenderExtra, cb, PF_SmartRenderCallbacks*, 8);

// ---- Suites ----------------------------------------------------------------

using AcquireSuiteFn = int32_t (*)(const char*, int32_t, const void**);
using ReleaseSuiteFn = int32_t (*)(const char*, int32_t);
using IsEqualFn = int32_t (*)(const char*, const char*);
using AllocateBlockFn = int32_t (*)(std::size_t, void**);
using FreeBlockFn = int32_t (*)(void*);
using ReallocateBlockFn = int32_t (*)(void*, std::size_t, void**);
using UndefinedFn = int32_t (*)();

CHECK_RECORD(SPBasicSuite, 56, 8);
CHECK_FIELD(SPBasicSuite, AcquireSuite, AcquireSuiteFn, 0);
CHECK_FIELD(SPBasicSuite, ReleaseSuite, ReleaseSuiteFn, 8);
CHECK_FIELD(SPBasicSuite, IsEqual, IsEqualFn, 16);
CHECK_FIELD(SPBasicSuite, AllocateBlock, AllocateBlockFn, 24);
CHECK_FIELD(SPBasicSuite, FreeBlock, FreeBlockFn, 32);
CHECK_FIELD(SPBasicSuite, ReallocateBlock, ReallocateBlockFn, 40);
CHECK_FIELD(SPBasicSuite, Undefined, UndefinedFn, 48);

using NewWorldFn = int32_t (*)(PF_ProgPtr, int32_t, int32_t, char, int32_t, PF_LayerDef*);
using DisposeWorldFn = int32_t (*)(PF_ProgPtr, PF_LayerDef*);
using GetPixelFormatFn = int32_t (*)(const PF_LayerDef*, int32_t*);

CHECK_RECORD(PF_WorldSuite2, 24, 8);
CHECK_FIELD(PF_WorldSuite2, PF_NewWorld, NewWorldFn, 0);
CHECK_FIELD(PF_WorldSuite2, PF_DisposeWorld, DisposeWorldFn, 8);
CHECK_FIELD(PF_WorldSuite2, PF_GetPixelFormat, GetPixelFormatFn, 16);

using UpdateParamUIFn = int32_t (*)(PF_ProgPtr, int32_t, const PF_ParamDef*);
using GetCurrentStateFn = int32_t (*)(PF_ProgPtr, int32_t, const A_Time*, const A_Time*, PF_State*);
using AreStatesIdenticalFn = int32_t (*)(PF_ProgPtr, const PF_State*, const PF_State*, uint8_t*);
using IsIdenticalCheckoutFn = int32_t (*)(PF_ProgPtr, int32_t, int32_t, int32_t, uint32_t, int32_t,
                                          int32_t, uint32_t, char*);
using FindKeyframeTimeFn = int32_t (*)(PF_ProgPtr, int32_t, int32_t, uint32_t, int32_t, char*,
                                       int32_t*, int32_t*, uint32_t*);
using GetKeyframeCountFn = int32_t (*)(PF_ProgPtr, int32_t, int32_t*);
using CheckoutKeyframeFn = int32_t (*)(PF_ProgPtr, int32_t, int32_t, int32_t*, uint32_t*,
                                       PF_ParamDef*);
using CheckinKeyframeFn = int32_t (*)(PF_ProgPtr, PF_ParamDef*);
using KeyIndexToTimeFn = int32_t (*)(PF_ProgPtr, int32_t, int32_t, int32_t*, uint32_t*);

CHECK_RECORD(PF_ParamUtilsSuite3, 72, 8);
CHECK_FIELD(PF_ParamUtilsSuite3, PF_UpdateParamUI, UpdateParamUIFn, 0);
CHECK_FIELD(PF_ParamUtilsSuite3, PF_GetCurrentState, GetCurrentStateFn, 8);
CHECK_FIELD(PF_ParamUtilsSuite3, PF_AreStatesIdentical, AreStatesIdenticalFn, 16);
CHECK_FIELD(PF_ParamUtilsSuite3, PF_IsIdenticalCheckout, IsIdenticalCheckoutFn, 24);
CHECK_FIELD(PF_ParamUtilsSuite3, PF_FindKeyframeTime, FindKeyframeTimeFn, 32);
CHECK_FIELD(PF_ParamUtilsSuite3, PF_GetKeyframeCount, GetKeyframeCountFn, 40);
CHECK_FIELD(PF_ParamUtilsSuite3, PF_CheckoutKeyframe, CheckoutKeyframeFn, 48);
CHECK_FIELD(PF_ParamUtilsSuite3, PF_CheckinKeyframe, CheckinKeyframeFn, 56);
CHECK_FIELD(PF_ParamUtilsSuite3, PF_KeyIndexToTime, KeyIndexToTimeFn, 64);

// ---- The entry point -------------------------------------------------------

static_assert(std::is_same_v<PF_FilterProc, int32_t (*)(int32_t, PF_InData*, PF_OutData*,
                                                        PF_ParamDef**, PF_LayerDef*, void*)>);

// ---- Constants -------------------------------------------------------------

static_assert(PF_Cmd_ABOUT == 0 && PF_Cmd_GLOBAL_SETUP == 1 && PF_Cmd_GLOBAL_SETDOWN == 3 &&
              PF_Cmd_PARAMS_SETUP == 4 && PF_Cmd_SEQUENCE_SETUP == 5 && PF_Cmd_RENDER == 11 &&
              PF_Cmd_USER_CHANGED_PARAM == 13 && PF_Cmd_UPDATE_PARAMS_UI == 14 &&
              PF_Cmd_SMART_PRE_RENDER == 23 && PF_Cmd_SMART_RENDER == 24 &&
              PF_Cmd_GET_FLATTENED_SEQUENCE_DATA == 28 && PF_Cmd_SMART_RENDER_GPU == 31 &&
              PF_Cmd_NUM_CMDS == 34);

static_assert(PF_Err_NONE == 0 && PF_Err_OUT_OF_MEMORY == 4 &&
              PF_Err_INTERNAL_STRUCT_DAMAGED == 512 && PF_Err_INVALID_INDEX == 513 &&
              PF_Err_UNRECOGNIZED_PARAM_TYPE == 514 && PF_Err_INVALID_CALLBACK == 515 &&
              PF_Err_BAD_CALLBACK_PARAM == 516 && PF_Interrupt_CANCEL == 517 && A_Err_NONE == 0 &&
              A_Err_MISSING_SUITE == 13 && kSPNoError == 0);

static_assert(PF_OutFlag_PIX_INDEPENDENT == 0x400 && PF_OutFlag_REFRESH_UI == 0x20000 &&
              PF_OutFlag_FORCE_RERENDER == 0x400000 && PF_OutFlag_DEEP_COLOR_AWARE == 0x2000000 &&
              PF_OutFlag_SEND_UPDATE_PARAMS_UI == 0x4000000 &&
              static_cast<uint32_t>(PF_OutFlag_AUDIO_EFFECT_ONLY) == 0x80000000u);
static_assert(PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG == 0x8 &&
              PF_OutFlag2_SUPPORTS_SMART_RENDER == 0x400 &&
              PF_OutFlag2_FLOAT_COLOR_AWARE == 0x1000 &&
              PF_OutFlag2_SUPPORTS_THREADED_RENDERING == 0x8000000);

static_assert(PF_ParamFlag_START_COLLAPSED == 32 && PF_ParamFlag_COLLAPSE_TWIRLY == 32 &&
              PF_ParamFlag_SUPERVISE == 64 && PF_ParamFlag_CANNOT_TIME_VARY == 2);
static_assert(PF_PUI_NONE == 0 && PF_PUI_ECW_SEPARATOR == 16 && PF_PUI_DISABLED == 32 &&
              PF_PUI_INVISIBLE == 512);
static_assert(PF_ChangeFlag_NONE == 0 && PF_ChangeFlag_CHANGED_VALUE == 1);
static_assert(PF_ValueDisplayFlag_NONE == 0 && PF_ValueDisplayFlag_PERCENT == 1 &&
              PF_ValueDisplayFlag_PIXEL == 2);
static_assert(PF_Param_LAYER == 0 && PF_Param_SLIDER == 1 && PF_Param_CHECKBOX == 4 &&
              PF_Param_COLOR == 5 && PF_Param_POPUP == 7 && PF_Param_FLOAT_SLIDER == 10 &&
              PF_Param_GROUP_START == 13 && PF_Param_GROUP_END == 14 && PF_Param_POINT_3D == 18);
static_assert(PF_WorldFlag_DEEP == 1 && PF_WorldFlag_WRITEABLE == 2 && PF_Field_FRAME == 0 &&
              PF_ChannelMask_ARGB == 15 && PF_MAX_CHAN8 == 255 && PF_MAX_CHAN16 == 32768);
static_assert(PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS == 1 &&
              PF_RenderOutputFlag_GPU_RENDER_POSSIBLE == 2);
static_assert(PF_MAX_EFFECT_NAME_LEN == 31 && PF_MAX_EFFECT_PARAM_NAME_LEN == 31 &&
              PF_MAX_PARAM_DESCRIPTION_LEN == 31 && PF_MAX_PARAM_VALUE_LEN == 31 &&
              PF_MAX_EFFECT_MSG_LEN == 255);

static_assert(PF_PixelFormat_ARGB32 == 0x62677261 && PF_PixelFormat_ARGB64 == 0x36316561 &&
              PF_PixelFormat_ARGB128 == 0x32336561 && PF_PixelFormat_INVALID == 0x66646162 &&
              PF_PixelFormat_BGRA32 == 0x61726762);

static_assert(PF_Stage_DEVELOP == 0 && PF_Stage_ALPHA == 1 && PF_Stage_BETA == 2 &&
              PF_Stage_RELEASE == 3);
static_assert(PF_VERSION(1, 0, 0, PF_Stage_DEVELOP, 1) == 0x80001u);
static_assert(PF_VERSION(2, 3, 4, PF_Stage_RELEASE, 5) == 0x11A605u);
static_assert(PF_VERSION(13, 28, 0, PF_Stage_DEVELOP, 0) == 0x42E0000u);
static_assert(PF_VERSION(127, 15, 15, 3, 511) == 0x3C3FFFFFu);
static_assert(PF_AE_PLUG_IN_VERSION == 13 && PF_AE_PLUG_IN_SUBVERS == 28);

static_assert(std::string_view(kSPBasicSuite) == "SP Basic Suite" && kSPBasicSuiteVersion == 4);
static_assert(std::string_view(kPFWorldSuite) == "PF World Suite" && kPFWorldSuiteVersion2 == 2);
static_assert(std::string_view(kPFParamUtilsSuite) == "PF Param Utils Suite" &&
              kPFParamUtilsSuiteVersion3 == 3);

}  // namespace
