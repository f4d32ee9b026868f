// The callbacks of in_data and of the smart pair: parameters, layers and
// output worlds. Each is served through MiniHost::Serving.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "minihost/CallbackServing.h"
#include "minihost/Rects.h"

namespace tessaline {

namespace {

// The record of a view into `world` covering `rect` (layer coordinates, within
// the world's extent at `originX`, `originY`).
PF_EffectWorld InputView(const World& world, const PF_LRect& rect, std::int32_t originX,
                         std::int32_t originY) {
  PF_EffectWorld view = *world.def();
  view.width = rect.right - rect.left;
  view.height = rect.bottom - rect.top;
  view.data = reinterpret_cast<decltype(view.data)>(
      const_cast<std::byte*>(world.RowAddress(rect.top - originY)) +
      std::int64_t{rect.left - originX} * world.pixelSize());
  view.origin_x = rect.left;
  view.origin_y = rect.top;
  view.extent_hint = PF_LRect{0, 0, view.width, view.height};
  return view;
}

// A world check-out hit by a fault: fails, or delivers null or a world
// record without data.
PF_Err Faulty(const Fault& f, const PF_EffectWorld& world, PF_EffectWorld& noData,
              PF_EffectWorld** delivered) {
  switch (f.effect) {
    case FaultEffect::kNullResult:
      return PF_Err_NONE;
    case FaultEffect::kNoData:
      noData = world;
      noData.data = nullptr;
      *delivered = &noData;
      return PF_Err_NONE;
    default:
      return f.error;
  }
}

}  // namespace

struct MiniHost::Callbacks : Serving {
  // ---- PF_InteractCallbacks ----

  static PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                              A_long time_step, A_u_long time_scale, PF_ParamDef* param) {
    return Serve(effect_ref, HostCall::kCheckoutParam, index, [&](MiniHost& h, const Fault* f) {
      PF_Err err = PF_Err_NONE;
      if (f != nullptr) {
        err = f->error;
      } else if (param == nullptr || h.IsValueRecord(param)) {
        err = PF_Err_BAD_CALLBACK_PARAM;  // the effect must check out into its own record
      } else if (index < 0 || index >= h.ParamCount()) {
        err = PF_Err_INVALID_INDEX;
      } else {
        *param = h.controls_[std::size_t(index)]->value;
        h.log_.checkedOut.emplace_back(param, index);
        ++h.log_.checkoutsSucceeded;
      }
      h.log_.paramCheckouts.push_back(
          ParamCheckoutRecord{index, what_time, time_step, time_scale, err});
      return err;
    });
  }

  static PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
    // The argument is the index the record was checked out with, -1 unknown.
    const auto indexOf = [param](MiniHost& h) {
      auto& out = h.log_.checkedOut;
      const auto it = std::find_if(out.rbegin(), out.rend(),
                                   [param](const auto& entry) { return entry.first == param; });
      if (it == out.rend()) return PF_ParamIndex(-1);
      const PF_ParamIndex index = it->second;
      out.erase(std::next(it).base());
      return index;
    };
    return Serve(effect_ref, HostCall::kCheckinParam, indexOf,
                 [param](MiniHost& h, const Fault* f) -> PF_Err {
                   ++h.log_.checkins;
                   if (f != nullptr) return f->error;
                   return param != nullptr ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
                 });
  }

  static PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    Scope* s = ScopeOf(effect_ref, HostCall::kAddParam);
    return Serve(s, HostCall::kAddParam, index, PF_Err_BAD_CALLBACK_PARAM,
                 [&](MiniHost& h, const Fault* f) {
                   AddParamRecord record;
                   record.index = index;
                   if (def != nullptr) {
                     record.def = *def;
                     record.name.assign(def->name, strnlen(def->name, sizeof def->name));
                     if (const char* text = TextOf(*def)) record.text = text;
                   }
                   if (f != nullptr) {
                     record.result = f->error;
                   } else if (def == nullptr) {
                     record.result = PF_Err_BAD_CALLBACK_PARAM;
                   } else if (s->cmd != PF_Cmd_PARAMS_SETUP) {
                     // Parameters are added in parameter setup only.
                     record.result = PF_Err_INVALID_CALLBACK;
                   }
                   h.log_.adds.push_back(record);
                   if (record.result == PF_Err_NONE) h.registered_.push_back(record);
                   return record.result;
                 });
  }

  static PF_Err Abort(PF_ProgPtr effect_ref) {
    return Plain(effect_ref, HostCall::kAbort, 0, PF_Err_NONE);
  }
  static PF_Err Progress(PF_ProgPtr effect_ref, A_long current, A_long) {
    return Plain(effect_ref, HostCall::kProgress, current, PF_Err_NONE);
  }
  static PF_Err RegisterUi(PF_ProgPtr effect_ref, PF_CustomUIInfo*) {
    return Unsupported(effect_ref, HostCall::kOtherInteract);
  }
  static PF_Err CheckoutLayerAudio(PF_ProgPtr effect_ref, PF_ParamIndex, A_long, A_long, A_u_long,
                                   PF_UFixed, A_long, A_long, A_long, PF_LayerAudio*) {
    return Unsupported(effect_ref, HostCall::kOtherInteract);
  }
  static PF_Err CheckinLayerAudio(PF_ProgPtr effect_ref, PF_LayerAudio) {
    return Unsupported(effect_ref, HostCall::kOtherInteract);
  }
  static PF_Err GetAudioData(PF_ProgPtr effect_ref, PF_LayerAudio, PF_SndSamplePtr*, A_long*,
                             PF_UFixed*, A_long*, A_long*, A_long*) {
    return Unsupported(effect_ref, HostCall::kOtherInteract);
  }

  // ---- PF_PreRenderCallbacks ----

  static PF_Err CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                              const PF_RenderRequest* req, A_long what_time, A_long time_step,
                              A_u_long time_scale, PF_CheckoutResult* result) {
    Scope* s = ScopeOf(effect_ref, HostCall::kCheckoutLayer);
    return Serve(s, HostCall::kCheckoutLayer, index, PF_Err_BAD_CALLBACK_PARAM,
                 [&](MiniHost& h, const Fault* f) {
                   PF_Err err = PF_Err_NONE;
                   if (f != nullptr) {
                     err = f->error;
                   } else if (req == nullptr || result == nullptr || checkout_id < 0) {
                     err = PF_Err_BAD_CALLBACK_PARAM;
                   } else if (s->cmd != PF_Cmd_SMART_PRE_RENDER) {
                     err = PF_Err_INVALID_CALLBACK;
                   } else if (index != 0) {
                     err = PF_Err_INVALID_INDEX;  // the input layer is the only layer parameter
                   } else {
                     AnswerCheckout(*s, h, checkout_id, *req, *result);
                   }
                   h.log_.layerCheckouts.push_back(LayerCheckoutRecord{
                       index, checkout_id, req != nullptr ? *req : PF_RenderRequest{}, what_time,
                       time_step, time_scale, err});
                   return err;
                 });
  }

  // The input's answer to a request, remembered under its checkout id.
  static void AnswerCheckout(Scope& s, MiniHost& h, A_long checkout_id, const PF_RenderRequest& req,
                             PF_CheckoutResult& result) {
    const PF_LRect extent = h.config_.InputExtent();
    const auto& set = h.config_.checkoutRects;
    result = PF_CheckoutResult{};
    result.result_rect = set ? set->result : IntersectRects(extent, req.rect);
    result.max_result_rect = set ? set->max : extent;
    result.par = PF_RationalScale{1, 1};
    result.ref_width = s.input->width();
    result.ref_height = s.input->height();
    std::vector<LayerCheckout>& made = s.collect != nullptr ? *s.collect : h.sentCheckouts_;
    std::erase_if(made, [&](const LayerCheckout& c) { return c.id == checkout_id; });
    made.push_back(LayerCheckout{checkout_id, result.result_rect});
  }

  static PF_Err GuidMixIn(PF_ProgPtr effect_ref, A_u_long, const void*) {
    return Plain(effect_ref, HostCall::kGuidMixIn, 0, PF_Err_NONE);
  }

  // ---- PF_SmartRenderCallbacks ----

  static PF_Err CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id,
                                    PF_EffectWorld** pixels) {
    Scope* s = ScopeOf(effect_ref, HostCall::kCheckoutLayerPixels);
    return Serve(
        s, HostCall::kCheckoutLayerPixels, checkout_id, PF_Err_BAD_CALLBACK_PARAM,
        [&](MiniHost& h, const Fault* f) {
          PF_Err err = PF_Err_NONE;
          PF_EffectWorld* world = nullptr;
          const auto known = [&] {
            return s->known == nullptr ||
                   std::any_of(s->known->begin(), s->known->end(),
                               [&](const LayerCheckout& c) { return c.id == checkout_id; });
          };
          // The pixels the input has of the checkout's result_rect.
          const PF_LRect rect =
              IntersectRects(h.CheckoutRectFor(*s, checkout_id), h.config_.InputExtent());
          const auto view = [&] {
            return InputView(*s->input, rect, h.config_.inputOrigin.x, h.config_.inputOrigin.y);
          };
          if (pixels == nullptr) {
            err = PF_Err_BAD_CALLBACK_PARAM;
          } else if (f != nullptr) {
            err = Faulty(*f, view(), s->noDataInput, &world);
          } else if (s->cmd != PF_Cmd_SMART_RENDER) {
            err = PF_Err_INVALID_CALLBACK;
          } else if (!known()) {
            err = PF_Err_BAD_CALLBACK_PARAM;  // not checked out in this frame's pre-render
          } else if (!IsEmptyRect(rect) || h.config_.emptyInput == EmptyInput::kEmptyWorld) {
            world = &s->inputViews.emplace_back(view());
          }
          if (pixels != nullptr) *pixels = world;
          return err;
        });
  }

  static PF_Err CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id) {
    return Plain(effect_ref, HostCall::kCheckinLayerPixels, checkout_id, PF_Err_NONE);
  }

  static PF_Err CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
    Scope* s = ScopeOf(effect_ref, HostCall::kCheckoutOutput);
    return Serve(s, HostCall::kCheckoutOutput, 0, PF_Err_BAD_CALLBACK_PARAM,
                 [&](MiniHost&, const Fault* f) -> PF_Err {
                   PF_Err err = PF_Err_NONE;
                   PF_EffectWorld* world = nullptr;
                   if (output == nullptr) {
                     err = PF_Err_BAD_CALLBACK_PARAM;
                   } else if (f != nullptr) {
                     err = Faulty(*f, *s->output->def(), s->noDataOutput, &world);
                   } else if (s->cmd != PF_Cmd_SMART_RENDER) {
                     err = PF_Err_INVALID_CALLBACK;
                   } else {
                     world = s->output->def();
                   }
                   if (output != nullptr) *output = world;
                   return err;
                 });
  }
};

PF_InData MiniHost::MakeInData() {
  PF_InData in{};
  in.inter.checkout_param = &Callbacks::CheckoutParam;
  in.inter.checkin_param = &Callbacks::CheckinParam;
  in.inter.add_param = &Callbacks::AddParam;
  in.inter.abort = &Callbacks::Abort;
  in.inter.progress = &Callbacks::Progress;
  in.inter.register_ui = &Callbacks::RegisterUi;
  in.inter.checkout_layer_audio = &Callbacks::CheckoutLayerAudio;
  in.inter.checkin_layer_audio = &Callbacks::CheckinLayerAudio;
  in.inter.get_audio_data = &Callbacks::GetAudioData;
  FillInData(in);
  return in;
}

PF_PreRenderCallbacks MiniHost::MakePreRenderCallbacks() const {
  PF_PreRenderCallbacks cb{};
  cb.checkout_layer = &Callbacks::CheckoutLayer;
  cb.GuidMixInPtr = &Callbacks::GuidMixIn;
  return cb;
}

PF_SmartRenderCallbacks MiniHost::MakeSmartRenderCallbacks() const {
  PF_SmartRenderCallbacks cb{};
  cb.checkout_layer_pixels = &Callbacks::CheckoutLayerPixels;
  cb.checkin_layer_pixels = &Callbacks::CheckinLayerPixels;
  cb.checkout_output = &Callbacks::CheckoutOutput;
  return cb;
}

}  // namespace tessaline
