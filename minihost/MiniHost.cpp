#include "minihost/MiniHost.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "minihost/Rects.h"

namespace tessaline {

// The context of one call of the entry point: which host, which command, and
// the worlds and checkout ids of the frame it belongs to.
struct MiniHost::Scope {
  Scope(MiniHost* h, World* in, World* out) : host(h), input(in), output(out) {}

  MiniHost* host;
  World* input;
  World* output;
  PF_Cmd cmd = PF_Cmd_ABOUT;
  std::vector<LayerCheckout>* collect = nullptr;      // pre-render: checkouts made
  const std::vector<LayerCheckout>* known = nullptr;  // smart render: ids it may fetch
  PF_EffectWorld noDataInput{};                       // copies without data, for faults
  PF_EffectWorld noDataOutput{};
  std::deque<PF_EffectWorld> inputViews;  // worlds handed by checkout_layer_pixels
};

namespace {

const char* TextOf(const PF_ParamDef& def) {
  switch (def.param_type) {
    case PF_Param_POPUP:
      return def.u.pd.u.namesptr;
    case PF_Param_CHECKBOX:
      return def.u.bd.u.nameptr;
    case PF_Param_BUTTON:
      return def.u.button_d.u.namesptr;
    default:
      return nullptr;
  }
}

// Points the definition's string at the host's own copy.
void RepointText(PF_ParamDef& def, const std::string& text) {
  if (TextOf(def) == nullptr) return;
  switch (def.param_type) {
    case PF_Param_POPUP:
      def.u.pd.u.namesptr = text.c_str();
      break;
    case PF_Param_CHECKBOX:
      def.u.bd.u.nameptr = text.c_str();
      break;
    default:
      def.u.button_d.u.namesptr = text.c_str();
      break;
  }
}

// The value member of each type, set from the registered default.
void ValueFromDefault(PF_ParamDef& def) {
  PF_ParamDefUnion& u = def.u;
  switch (def.param_type) {
    case PF_Param_POPUP:
      u.pd.value = u.pd.dephault;
      break;
    case PF_Param_SLIDER:
      u.sd.value = u.sd.dephault;
      break;
    case PF_Param_FIX_SLIDER:
      u.fd.value = u.fd.dephault;
      break;
    case PF_Param_FLOAT_SLIDER:
      u.fs_d.value = u.fs_d.dephault;
      break;
    case PF_Param_ANGLE:
      u.ad.value = u.ad.dephault;
      break;
    case PF_Param_CHECKBOX:
      u.bd.value = u.bd.dephault;
      break;
    case PF_Param_COLOR:
      u.cd.value = u.cd.dephault;
      break;
    case PF_Param_POINT:
      u.td.x_value = u.td.x_dephault;
      u.td.y_value = u.td.y_dephault;
      break;
    default:
      break;
  }
}

// Copies the value member of the record's type from `written` into `kept`.
void TakeOverValue(PF_ParamDef& kept, const PF_ParamDef& written) {
  PF_ParamDefUnion& u = kept.u;
  const PF_ParamDefUnion& w = written.u;
  switch (kept.param_type) {
    case PF_Param_POPUP:
      u.pd.value = w.pd.value;
      break;
    case PF_Param_SLIDER:
      u.sd.value = w.sd.value;
      break;
    case PF_Param_FIX_SLIDER:
      u.fd.value = w.fd.value;
      break;
    case PF_Param_FLOAT_SLIDER:
      u.fs_d.value = w.fs_d.value;
      break;
    case PF_Param_ANGLE:
      u.ad.value = w.ad.value;
      break;
    case PF_Param_CHECKBOX:
      u.bd.value = w.bd.value;
      break;
    case PF_Param_COLOR:
      u.cd.value = w.cd.value;
      break;
    case PF_Param_POINT:
      u.td.x_value = w.td.x_value;
      u.td.y_value = w.td.y_value;
      break;
    default:
      break;
  }
}

std::int32_t SuiteIdOf(const char* name, std::int32_t version) {
  if (name == nullptr) return kUnknownSuite;
  if (std::strcmp(name, kPFWorldSuite) == 0 && version == kPFWorldSuiteVersion2) {
    return std::int32_t(HostSuite::kWorld);
  }
  if (std::strcmp(name, kPFParamUtilsSuite) == 0 && version == kPFParamUtilsSuiteVersion3) {
    return std::int32_t(HostSuite::kParamUtils);
  }
  return kUnknownSuite;
}

PF_LRect Extent(const World& world) {
  return PF_LRect{0, 0, world.width(), world.height()};
}

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

}  // namespace

// The functions the effect calls. Each finds its host, counts and logs the
// call under the host's lock, applies any fault, and then serves it.
struct MiniHost::Callbacks {
  // The scope of the command running on this thread.
  static Scope*& Current() {
    thread_local Scope* current = nullptr;
    return current;
  }

  struct Mark {
    explicit Mark(Scope& scope) : previous(Current()) { Current() = &scope; }
    ~Mark() { Current() = previous; }
    Mark(const Mark&) = delete;
    Mark& operator=(const Mark&) = delete;
    Scope* previous;
  };

  // The running command's scope when effect_ref is its host's; a wrong
  // reference is counted and logged, and the callback fails.
  static Scope* ScopeOf(PF_ProgPtr effect_ref, HostCall call) {
    Scope* s = Current();
    if (s == nullptr) return nullptr;
    if (effect_ref != s->host->EffectRef()) {
      MiniHost& h = *s->host;
      std::lock_guard lock(h.mutex_);
      ++h.badEffectRefs_;
      ++h.counts_[std::size_t(call)];
      h.Log(call, 0, PF_Err_BAD_CALLBACK_PARAM);
      return nullptr;
    }
    return s;
  }

  // A call that does nothing but answer `normal` (or a fault's error).
  static PF_Err Plain(Scope* s, HostCall call, std::int32_t arg, PF_Err normal) {
    if (s == nullptr) return normal == PF_Err_NONE ? PF_Err_BAD_CALLBACK_PARAM : normal;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const Fault* f = h.Arrive(call, arg);
    const PF_Err err = f != nullptr ? f->error : normal;
    h.Log(call, arg, err);
    return err;
  }
  static PF_Err Plain(PF_ProgPtr effect_ref, HostCall call, std::int32_t arg, PF_Err normal) {
    return Plain(ScopeOf(effect_ref, call), call, arg, normal);
  }

  // A world check-out hit by a fault: fails, or delivers null or a world
  // record without data.
  static PF_Err Faulty(const Fault& f, const PF_EffectWorld& world, PF_EffectWorld& noData,
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

  // ---- PF_InteractCallbacks ----

  static PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                              A_long time_step, A_u_long time_scale, PF_ParamDef* param) {
    Scope* s = ScopeOf(effect_ref, HostCall::kCheckoutParam);
    if (s == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const Fault* f = h.Arrive(HostCall::kCheckoutParam, index);
    PF_Err err = PF_Err_NONE;
    if (f != nullptr) {
      err = f->error;
    } else if (param == nullptr || h.IsValueRecord(param)) {
      err = PF_Err_BAD_CALLBACK_PARAM;  // the effect must check out into its own record
    } else if (index < 0 || index >= h.ParamCount()) {
      err = PF_Err_INVALID_INDEX;
    } else {
      *param = h.controls_[std::size_t(index)]->value;
      h.checkedOut_.emplace_back(param, index);
      ++h.checkoutsSucceeded_;
    }
    h.paramCheckouts_.push_back(ParamCheckoutRecord{index, what_time, time_step, time_scale, err});
    h.Log(HostCall::kCheckoutParam, index, err);
    return err;
  }

  static PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
    Scope* s = ScopeOf(effect_ref, HostCall::kCheckinParam);
    if (s == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    PF_ParamIndex index = -1;
    for (auto it = h.checkedOut_.rbegin(); it != h.checkedOut_.rend(); ++it) {
      if (it->first == param) {
        index = it->second;
        h.checkedOut_.erase(std::next(it).base());
        break;
      }
    }
    const Fault* f = h.Arrive(HostCall::kCheckinParam, index);
    ++h.checkins_;
    PF_Err err = param != nullptr ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
    if (f != nullptr) err = f->error;
    h.Log(HostCall::kCheckinParam, index, err);
    return err;
  }

  static PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    Scope* s = ScopeOf(effect_ref, HostCall::kAddParam);
    if (s == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const Fault* f = h.Arrive(HostCall::kAddParam, index);
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
      record.result = PF_Err_INVALID_CALLBACK;  // parameters are added in parameter setup only
    }
    h.adds_.push_back(record);
    if (record.result == PF_Err_NONE) h.registered_.push_back(record);
    h.Log(HostCall::kAddParam, index, record.result);
    return record.result;
  }

  static PF_Err Abort(PF_ProgPtr effect_ref) {
    return Plain(effect_ref, HostCall::kAbort, 0, PF_Err_NONE);
  }
  static PF_Err Progress(PF_ProgPtr effect_ref, A_long current, A_long) {
    return Plain(effect_ref, HostCall::kProgress, current, PF_Err_NONE);
  }
  static PF_Err RegisterUi(PF_ProgPtr effect_ref, PF_CustomUIInfo*) {
    return Plain(effect_ref, HostCall::kOtherInteract, 0, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err CheckoutLayerAudio(PF_ProgPtr effect_ref, PF_ParamIndex, A_long, A_long, A_u_long,
                                   PF_UFixed, A_long, A_long, A_long, PF_LayerAudio*) {
    return Plain(effect_ref, HostCall::kOtherInteract, 0, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err CheckinLayerAudio(PF_ProgPtr effect_ref, PF_LayerAudio) {
    return Plain(effect_ref, HostCall::kOtherInteract, 0, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err GetAudioData(PF_ProgPtr effect_ref, PF_LayerAudio, PF_SndSamplePtr*, A_long*,
                             PF_UFixed*, A_long*, A_long*, A_long*) {
    return Plain(effect_ref, HostCall::kOtherInteract, 0, PF_Err_INVALID_CALLBACK);
  }

  // ---- PF_PreRenderCallbacks ----

  static PF_Err CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                              const PF_RenderRequest* req, A_long what_time, A_long time_step,
                              A_u_long time_scale, PF_CheckoutResult* result) {
    Scope* s = ScopeOf(effect_ref, HostCall::kCheckoutLayer);
    if (s == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const Fault* f = h.Arrive(HostCall::kCheckoutLayer, index);
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
      const World& layer = *s->input;
      const PF_LRect extent = h.InputExtent();
      *result = PF_CheckoutResult{};
      result->result_rect =
          h.checkoutRectsSet_ ? h.checkoutResultRect_ : IntersectRects(extent, req->rect);
      result->max_result_rect = h.checkoutRectsSet_ ? h.checkoutMaxResultRect_ : extent;
      result->par = PF_RationalScale{1, 1};
      result->ref_width = layer.width();
      result->ref_height = layer.height();
      std::vector<LayerCheckout>& made = s->collect != nullptr ? *s->collect : h.sentCheckouts_;
      std::erase_if(made, [&](const LayerCheckout& c) { return c.id == checkout_id; });
      made.push_back(LayerCheckout{checkout_id, result->result_rect});
    }
    h.layerCheckouts_.push_back(LayerCheckoutRecord{index, checkout_id,
                                                    req != nullptr ? *req : PF_RenderRequest{},
                                                    what_time, time_step, time_scale, err});
    h.Log(HostCall::kCheckoutLayer, index, err);
    return err;
  }

  static PF_Err GuidMixIn(PF_ProgPtr effect_ref, A_u_long, const void*) {
    return Plain(effect_ref, HostCall::kGuidMixIn, 0, PF_Err_NONE);
  }

  // ---- PF_SmartRenderCallbacks ----

  static PF_Err CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id,
                                    PF_EffectWorld** pixels) {
    Scope* s = ScopeOf(effect_ref, HostCall::kCheckoutLayerPixels);
    if (s == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const Fault* f = h.Arrive(HostCall::kCheckoutLayerPixels, checkout_id);
    PF_Err err = PF_Err_NONE;
    PF_EffectWorld* world = nullptr;
    const auto known = [&] {
      return s->known == nullptr ||
             std::any_of(s->known->begin(), s->known->end(),
                         [&](const LayerCheckout& c) { return c.id == checkout_id; });
    };
    // The pixels the input has of the checkout's result_rect.
    const PF_LRect rect = IntersectRects(h.CheckoutRectFor(*s, checkout_id), h.InputExtent());
    if (pixels == nullptr) {
      err = PF_Err_BAD_CALLBACK_PARAM;
    } else if (f != nullptr) {
      err = Faulty(*f, InputView(*s->input, rect, h.inputOriginX_, h.inputOriginY_), s->noDataInput,
                   &world);
    } else if (s->cmd != PF_Cmd_SMART_RENDER) {
      err = PF_Err_INVALID_CALLBACK;
    } else if (!known()) {
      err = PF_Err_BAD_CALLBACK_PARAM;  // not checked out in this frame's pre-render
    } else if (!IsEmptyRect(rect) || h.emptyInput_ == EmptyInput::kEmptyWorld) {
      world =
          &s->inputViews.emplace_back(InputView(*s->input, rect, h.inputOriginX_, h.inputOriginY_));
    }
    if (pixels != nullptr) *pixels = world;
    h.Log(HostCall::kCheckoutLayerPixels, checkout_id, err);
    return err;
  }

  static PF_Err CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id) {
    return Plain(effect_ref, HostCall::kCheckinLayerPixels, checkout_id, PF_Err_NONE);
  }

  static PF_Err CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
    Scope* s = ScopeOf(effect_ref, HostCall::kCheckoutOutput);
    if (s == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const Fault* f = h.Arrive(HostCall::kCheckoutOutput, 0);
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
    h.Log(HostCall::kCheckoutOutput, 0, err);
    return err;
  }

  // ---- SPBasicSuite (no effect_ref: the running command's host serves it) ----

  static SPErr AcquireSuite(const char* name, std::int32_t version, const void** suite) {
    if (suite != nullptr) *suite = nullptr;
    Scope* s = Current();
    if (s == nullptr) return kSuiteNotFoundError;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const std::int32_t id = SuiteIdOf(name, version);
    const Fault* f = h.Arrive(HostCall::kAcquireSuite, id);
    SPErr err = kSPNoError;
    const void* table = nullptr;
    if (f != nullptr) {
      if (f->effect != FaultEffect::kNullResult) err = f->error;
    } else if (suite == nullptr || id == kUnknownSuite || !h.suiteAvailable_[std::size_t(id)]) {
      err = kSuiteNotFoundError;
    } else if (id == std::int32_t(HostSuite::kWorld)) {
      table = &h.worldSuite_;
    } else {
      table = &h.paramUtilsSuite_;
    }
    if (table != nullptr) {
      *suite = table;
      ++h.acquires_[std::size_t(id)];
      ++h.heldSuites_[std::size_t(id)];
    }
    h.Log(HostCall::kAcquireSuite, id, err);
    return err;
  }

  static SPErr ReleaseSuite(const char* name, std::int32_t version) {
    Scope* s = Current();
    if (s == nullptr) return kSuiteNotFoundError;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const std::int32_t id = SuiteIdOf(name, version);
    const Fault* f = h.Arrive(HostCall::kReleaseSuite, id);
    SPErr err = kSPNoError;
    if (id == kUnknownSuite) {
      err = kSuiteNotFoundError;
      ++h.unmatchedReleases_;
    } else {
      ++h.releases_[std::size_t(id)];
      if (h.heldSuites_[std::size_t(id)] > 0) {
        --h.heldSuites_[std::size_t(id)];
      } else {
        ++h.unmatchedReleases_;
        err = kSuiteNotFoundError;
      }
    }
    if (f != nullptr) err = f->error;
    h.Log(HostCall::kReleaseSuite, id, err);
    return err;
  }

  // The helpers of the basic suite work without a command too; then they are not logged.
  static PF_Err Basic(PF_Err normal = PF_Err_NONE) {
    Scope* s = Current();
    return s != nullptr ? Plain(s, HostCall::kOtherBasic, 0, normal) : normal;
  }
  static SPBoolean IsEqual(const char* token1, const char* token2) {
    return Basic() == PF_Err_NONE && token1 != nullptr && token2 != nullptr &&
           std::strcmp(token1, token2) == 0;
  }
  static SPErr AllocateBlock(size_t size, void** block) {
    const PF_Err err = Basic();
    if (block == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *block = err == PF_Err_NONE ? std::malloc(size > 0 ? size : 1) : nullptr;
    if (err != PF_Err_NONE) return err;
    return *block != nullptr ? kSPNoError : PF_Err_OUT_OF_MEMORY;
  }
  static SPErr FreeBlock(void* block) {
    const PF_Err err = Basic();
    if (err == PF_Err_NONE) std::free(block);
    return err;
  }
  static SPErr ReallocateBlock(void* block, size_t size, void** newblock) {
    const PF_Err err = Basic();
    if (newblock == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *newblock = nullptr;
    if (err != PF_Err_NONE) return err;
    *newblock = std::realloc(block, size > 0 ? size : 1);
    return *newblock != nullptr ? kSPNoError : PF_Err_OUT_OF_MEMORY;
  }
  static SPErr Undefined() { return Basic(kSuiteNotFoundError); }

  // ---- PF_WorldSuite2 ----

  static PF_Err NewWorld(PF_ProgPtr effect_ref, A_long, A_long, PF_Boolean, PF_PixelFormat,
                         PF_EffectWorld*) {
    return Plain(effect_ref, HostCall::kOtherWorldSuite, 0, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err DisposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld*) {
    return Plain(effect_ref, HostCall::kOtherWorldSuite, 0, PF_Err_INVALID_CALLBACK);
  }

  static PF_Err GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
    Scope* s = Current();
    if (s == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const Fault* f = h.Arrive(HostCall::kGetPixelFormat, 0);
    PF_Err err = PF_Err_NONE;
    if (f != nullptr) {
      err = f->error;
    } else if (world == nullptr || format == nullptr) {
      err = PF_Err_BAD_CALLBACK_PARAM;
    } else if (const World* known = WorldOf(*s, world)) {
      *format = known->pixelFormat();
    } else {
      err = PF_Err_BAD_CALLBACK_PARAM;  // not a world of this host
    }
    h.Log(HostCall::kGetPixelFormat, 0, err);
    return err;
  }

  // The host's world behind a record: by address, or by its pixels for a
  // copy or a view.
  static const World* WorldOf(const Scope& s, const PF_EffectWorld* def) {
    if (def == &s.noDataInput) return s.input;
    if (def == &s.noDataOutput) return s.output;
    for (const PF_EffectWorld& view : s.inputViews) {
      if (def == &view) return s.input;
    }
    const World* candidates[] = {s.output, s.input, s.host->output_.get(), s.host->layer_.get()};
    for (const World* w : candidates) {
      if (w != nullptr && (def == w->def() || w->Holds(def->data))) return w;
    }
    return nullptr;
  }

  // ---- PF_ParamUtilsSuite3 ----

  static PF_Err UpdateParamUI(PF_ProgPtr effect_ref, PF_ParamIndex index, const PF_ParamDef* def) {
    Scope* s = ScopeOf(effect_ref, HostCall::kUpdateParamUI);
    if (s == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    const Fault* f = h.Arrive(HostCall::kUpdateParamUI, index);
    PF_Err err = PF_Err_NONE;
    if (f != nullptr) {
      err = f->error;
    } else if (def == nullptr) {
      err = PF_Err_BAD_CALLBACK_PARAM;
    } else if (index < 0 || index >= h.ParamCount()) {
      err = PF_Err_INVALID_INDEX;
    } else {
      h.controls_[std::size_t(index)]->uiFlags = def->ui_flags;
    }
    h.uiUpdates_.push_back(UpdateParamUIRecord{index, def != nullptr ? *def : PF_ParamDef{}, err});
    h.Log(HostCall::kUpdateParamUI, index, err);
    return err;
  }

  static PF_Err GetCurrentState(PF_ProgPtr effect_ref, PF_ParamIndex index, const A_Time*,
                                const A_Time*, PF_State*) {
    return Plain(effect_ref, HostCall::kOtherParamUtils, index, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err AreStatesIdentical(PF_ProgPtr effect_ref, const PF_State*, const PF_State*,
                                   A_Boolean*) {
    return Plain(effect_ref, HostCall::kOtherParamUtils, 0, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err IsIdenticalCheckout(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long, A_long,
                                    A_u_long, A_long, A_long, A_u_long, PF_Boolean*) {
    return Plain(effect_ref, HostCall::kOtherParamUtils, index, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err FindKeyframeTime(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long, A_u_long,
                                 PF_TimeDir, PF_Boolean*, PF_KeyIndex*, A_long*, A_u_long*) {
    return Plain(effect_ref, HostCall::kOtherParamUtils, index, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err GetKeyframeCount(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_KeyIndex*) {
    return Plain(effect_ref, HostCall::kOtherParamUtils, index, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err CheckoutKeyframe(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_KeyIndex, A_long*,
                                 A_u_long*, PF_ParamDef*) {
    return Plain(effect_ref, HostCall::kOtherParamUtils, index, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err CheckinKeyframe(PF_ProgPtr effect_ref, PF_ParamDef*) {
    return Plain(effect_ref, HostCall::kOtherParamUtils, 0, PF_Err_INVALID_CALLBACK);
  }
  static PF_Err KeyIndexToTime(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_KeyIndex, A_long*,
                               A_u_long*) {
    return Plain(effect_ref, HostCall::kOtherParamUtils, index, PF_Err_INVALID_CALLBACK);
  }
};

// ---- SmartFrame ----

void SmartFrame::Release() {
  if (!pending_) return;
  pending_ = false;
  if (host_ != nullptr) host_->ReleaseFrame(*this);
}

// ---- MiniHost ----

MiniHost::MiniHost(EffectEntry entry) : entry_(entry) {
  basic_.AcquireSuite = &Callbacks::AcquireSuite;
  basic_.ReleaseSuite = &Callbacks::ReleaseSuite;
  basic_.IsEqual = &Callbacks::IsEqual;
  basic_.AllocateBlock = &Callbacks::AllocateBlock;
  basic_.FreeBlock = &Callbacks::FreeBlock;
  basic_.ReallocateBlock = &Callbacks::ReallocateBlock;
  basic_.Undefined = &Callbacks::Undefined;
  worldSuite_.PF_NewWorld = &Callbacks::NewWorld;
  worldSuite_.PF_DisposeWorld = &Callbacks::DisposeWorld;
  worldSuite_.PF_GetPixelFormat = &Callbacks::GetPixelFormat;
  paramUtilsSuite_.PF_UpdateParamUI = &Callbacks::UpdateParamUI;
  paramUtilsSuite_.PF_GetCurrentState = &Callbacks::GetCurrentState;
  paramUtilsSuite_.PF_AreStatesIdentical = &Callbacks::AreStatesIdentical;
  paramUtilsSuite_.PF_IsIdenticalCheckout = &Callbacks::IsIdenticalCheckout;
  paramUtilsSuite_.PF_FindKeyframeTime = &Callbacks::FindKeyframeTime;
  paramUtilsSuite_.PF_GetKeyframeCount = &Callbacks::GetKeyframeCount;
  paramUtilsSuite_.PF_CheckoutKeyframe = &Callbacks::CheckoutKeyframe;
  paramUtilsSuite_.PF_CheckinKeyframe = &Callbacks::CheckinKeyframe;
  paramUtilsSuite_.PF_KeyIndexToTime = &Callbacks::KeyIndexToTime;
  layer_ = std::make_unique<World>(PixelDepth::k8, 160, 90);
  output_ = std::make_unique<World>(PixelDepth::k8, 160, 90);
  BuildParams();
}

MiniHost::~MiniHost() = default;

// ---- Session ----

PF_Err MiniHost::About() {
  PF_InData in = MakeInData();
  PF_OutData out = MakeOutData();
  Scope scope(this, layer_.get(), output_.get());
  return Call(scope, PF_Cmd_ABOUT, &in, &out, nullptr, nullptr, nullptr);
}

PF_Err MiniHost::GlobalSetup() {
  PF_InData in = MakeInData();
  PF_OutData out = MakeOutData();
  Scope scope(this, layer_.get(), output_.get());
  return Call(scope, PF_Cmd_GLOBAL_SETUP, &in, &out, nullptr, nullptr, nullptr);
}

PF_Err MiniHost::ParamsSetup() {
  PF_InData in = MakeInData();
  PF_OutData out = MakeOutData();
  Scope scope(this, layer_.get(), output_.get());
  return Call(scope, PF_Cmd_PARAMS_SETUP, &in, &out, nullptr, nullptr, nullptr);
}

PF_Err MiniHost::UpdateParamsUI() {
  PF_InData in = MakeInData();
  PF_OutData out = MakeOutData();
  Scope scope(this, layer_.get(), output_.get());
  return Call(scope, PF_Cmd_UPDATE_PARAMS_UI, &in, &out, Params(), nullptr, nullptr);
}

PF_Err MiniHost::ChangeValue(PF_ParamIndex index, PF_ParamType type, PF_ParamDef** def) {
  if (index < 0 || index >= ParamCount()) return PF_Err_INVALID_INDEX;
  PF_ParamDef& record = controls_[std::size_t(index)]->value;
  if (record.param_type != type) return PF_Err_UNRECOGNIZED_PARAM_TYPE;
  *def = &record;
  return PF_Err_NONE;
}

PF_Err MiniHost::SetFloat(PF_ParamIndex index, double value) {
  PF_ParamDef* def = nullptr;
  if (const PF_Err err = ChangeValue(index, PF_Param_FLOAT_SLIDER, &def)) return err;
  def->u.fs_d.value = value;
  return UserChanged(index);
}

PF_Err MiniHost::SetSlider(PF_ParamIndex index, std::int32_t value) {
  PF_ParamDef* def = nullptr;
  if (const PF_Err err = ChangeValue(index, PF_Param_SLIDER, &def)) return err;
  def->u.sd.value = value;
  return UserChanged(index);
}

PF_Err MiniHost::SetPopup(PF_ParamIndex index, std::int32_t value) {
  PF_ParamDef* def = nullptr;
  if (const PF_Err err = ChangeValue(index, PF_Param_POPUP, &def)) return err;
  def->u.pd.value = value;
  return UserChanged(index);
}

PF_Err MiniHost::SetCheckbox(PF_ParamIndex index, std::int32_t value) {
  PF_ParamDef* def = nullptr;
  if (const PF_Err err = ChangeValue(index, PF_Param_CHECKBOX, &def)) return err;
  def->u.bd.value = value;
  return UserChanged(index);
}

PF_Err MiniHost::SetColor(PF_ParamIndex index, std::uint32_t packed) {
  PF_ParamDef* def = nullptr;
  if (const PF_Err err = ChangeValue(index, PF_Param_COLOR, &def)) return err;
  def->u.cd.value = UnpackPixel(packed);
  return UserChanged(index);
}

PF_Err MiniHost::UserChanged(PF_ParamIndex index) {
  lastTakenOver_.clear();
  lastIgnored_.clear();
  if ((controls_[std::size_t(index)]->value.flags & PF_ParamFlag_SUPERVISE) == 0) {
    return PF_Err_NONE;
  }
  std::vector<PF_ParamDef> before;
  before.reserve(controls_.size());
  for (const auto& c : controls_) before.push_back(c->value);

  PF_UserChangedParamExtra extra{};
  extra.param_index = index;
  PF_InData in = MakeInData();
  PF_OutData out = MakeOutData();
  Scope scope(this, layer_.get(), output_.get());
  const PF_Err err = Call(scope, PF_Cmd_USER_CHANGED_PARAM, &in, &out, Params(), nullptr, &extra);

  // The host keeps a written value only when the effect flagged it.
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    PF_ParamDef& now = controls_[i]->value;
    PF_ParamDef kept = before[i];
    if ((now.uu.change_flags & PF_ChangeFlag_CHANGED_VALUE) != 0) {
      TakeOverValue(kept, now);
      lastTakenOver_.push_back(PF_ParamIndex(i));
    } else if (std::memcmp(&now, &kept, sizeof kept) != 0) {
      lastIgnored_.push_back(PF_ParamIndex(i));
    }
    now = kept;
  }
  return err;
}

// ---- Rendering ----

PF_Err MiniHost::RenderSmart() {
  SmartFrame frame;
  PF_Err err = SmartPreRender(&frame);
  if (err == PF_Err_NONE) err = SmartRender(frame);
  frame.Release();
  return err;
}

PF_Err MiniHost::SmartPreRender(SmartFrame* frame) {
  if (frame == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  frame->Release();
  frame->host_ = this;
  frame->checkouts_.clear();
  frame->input_ = PF_PreRenderInput{};
  frame->input_.output_request = CurrentRequest();
  frame->input_.bitdepth = short(outputFollows_ ? layer_->depth() : output_->depth());
  frame->input_.what_gpu = PF_GPU_Framework_NONE;
  frame->output_ = PF_PreRenderOutput{};

  PF_PreRenderCallbacks cb = MakePreRenderCallbacks();
  PF_PreRenderExtra extra{};
  extra.input = &frame->input_;
  extra.output = &frame->output_;
  extra.cb = &cb;
  PF_InData in = MakeInData();
  PF_OutData out = MakeOutData();
  Scope scope(this, layer_.get(), output_.get());
  scope.collect = &frame->checkouts_;
  const PF_Err err = Call(scope, PF_Cmd_SMART_PRE_RENDER, &in, &out, nullptr, nullptr, &extra);

  // After success the host owns the data until the frame is done.
  frame->pending_ = err == PF_Err_NONE && (frame->output_.pre_render_data != nullptr ||
                                           frame->output_.delete_pre_render_data_func != nullptr);
  if (err == PF_Err_NONE) PlaceOutput(frame->output_.result_rect);
  std::lock_guard lock(mutex_);
  lastPreRender_ = frame->output_;
  if (frame->pending_) ++preRenderKept_;
  return err;
}

PF_Err MiniHost::SmartRender(const SmartFrame& frame, World* output) {
  const PF_LRect& rect = frame.output_.result_rect;
  if (output != nullptr) {
    output->SetOrigin(rect.left, rect.top);
  } else if (!PlaceOutput(rect)) {
    return PF_Err_OUT_OF_MEMORY;
  }
  World& target = output != nullptr ? *output : *output_;
  PF_SmartRenderInput input{};
  input.output_request = frame.input_.output_request;
  input.bitdepth = short(target.depth());
  input.pre_render_data = frame.data();
  input.what_gpu = PF_GPU_Framework_NONE;
  PF_SmartRenderCallbacks cb = MakeSmartRenderCallbacks();
  PF_SmartRenderExtra extra{};
  extra.input = &input;
  extra.cb = &cb;
  PF_InData in = MakeInData();
  PF_OutData out = MakeOutData();
  Scope scope(this, layer_.get(), &target);
  scope.known = &frame.checkouts_;
  return Call(scope, PF_Cmd_SMART_RENDER, &in, &out, nullptr, nullptr, &extra);
}

PF_Err MiniHost::RenderLegacy(World* output) {
  if (output == nullptr && outputFollows_) {
    FollowFrame(layer_->depth(), layer_->width(), layer_->height());
  }
  World& target = output != nullptr ? *output : *output_;
  target.SetOrigin(0, 0);
  PF_InData in = MakeInData();
  PF_OutData out = MakeOutData();
  Scope scope(this, layer_.get(), &target);
  return Call(scope, PF_Cmd_RENDER, &in, &out, Params(), target.def(), nullptr);
}

void MiniHost::ReleaseFrame(SmartFrame& frame) {
  const PF_DeletePreRenderDataFunc release = frame.output_.delete_pre_render_data_func;
  if (release == nullptr) return;
  {
    std::lock_guard lock(mutex_);
    ++counts_[std::size_t(HostCall::kDeletePreRenderData)];
    ++preRenderDeleted_;
    Log(HostCall::kDeletePreRenderData, 0, PF_Err_NONE);
  }
  release(frame.output_.pre_render_data);
}

PF_Err MiniHost::Send(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef** params,
                      PF_LayerDef* output, void* extra) {
  Scope scope(this, layer_.get(), output_.get());
  return Call(scope, cmd, in_data, out_data, params, output, extra);
}

PF_Err MiniHost::Call(Scope& scope, PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                      PF_ParamDef** params, PF_LayerDef* output, void* extra) {
  scope.cmd = cmd;
  std::size_t entry = 0;
  {
    std::lock_guard lock(mutex_);
    ++counts_[std::size_t(HostCall::kCommand)];
    entry = log_.size();
    log_.push_back(CallRecord{HostCall::kCommand, cmd, PF_Err_NONE});
    if (cmd == PF_Cmd_PARAMS_SETUP) registered_.clear();
  }
  PF_Err err = PF_Err_NONE;
  {
    Callbacks::Mark mark(scope);
    err = entry_(cmd, in_data, out_data, params, output, extra);
  }
  const GuardReport input = scope.input->CheckGuards();
  const GuardReport out = scope.output->CheckGuards();
  {
    std::lock_guard lock(mutex_);
    if (entry < log_.size() && log_[entry].call == HostCall::kCommand) log_[entry].result = err;
    if (out_data != nullptr) lastOut_ = *out_data;
    if (!input.Intact()) guardFailures_.push_back(GuardFailure{cmd, false, input});
    if (!out.Intact()) guardFailures_.push_back(GuardFailure{cmd, true, out});
  }
  if (cmd == PF_Cmd_PARAMS_SETUP) BuildParams();
  return err;
}

void MiniHost::BuildParams() {
  std::vector<AddParamRecord> registered;
  {
    std::lock_guard lock(mutex_);
    registered = registered_;
  }
  std::vector<std::unique_ptr<Control>> controls;
  auto layer = std::make_unique<Control>();
  layer->value.param_type = PF_Param_LAYER;
  layer->value.u.ld = *layer_->def();
  controls.push_back(std::move(layer));
  for (const AddParamRecord& r : registered) {
    auto c = std::make_unique<Control>();
    c->name = r.name;
    c->text = r.text;
    c->value = r.def;
    c->value.uu.change_flags = PF_ChangeFlag_NONE;
    c->uiFlags = r.def.ui_flags;
    RepointText(c->value, c->text);
    ValueFromDefault(c->value);
    controls.push_back(std::move(c));
  }
  std::lock_guard lock(mutex_);
  controls_ = std::move(controls);
  params_.clear();
  for (const auto& c : controls_) params_.push_back(&c->value);
  params_.push_back(nullptr);
}

// ---- Records ----

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
  in.pica_basicP = basicAvailable_ ? &basic_ : nullptr;
  return in;
}

PF_OutData MiniHost::MakeOutData() const {
  PF_OutData out{};
  out.num_params = ParamCount();
  return out;
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

// ---- Faults ----

const Fault* MiniHost::Arrive(HostCall call, std::int32_t arg) {
  ++counts_[std::size_t(call)];
  return faults_.Hit(call, arg);
}

void MiniHost::Log(HostCall call, std::int32_t arg, PF_Err result) {
  log_.push_back(CallRecord{call, arg, result});
}

void MiniHost::AddFault(const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_.Add(fault);
}

void MiniHost::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.Clear();
}

std::int64_t MiniHost::FaultsFired() const {
  std::lock_guard lock(mutex_);
  return faults_.fired();
}

// ---- Parameters ----

bool MiniHost::IsValueRecord(const PF_ParamDef* def) const {
  for (const auto& c : controls_) {
    if (&c->value == def) return true;
  }
  return false;
}

PF_ParamDef* MiniHost::Param(PF_ParamIndex index) {
  if (index < 0 || index >= ParamCount()) return nullptr;
  return &controls_[std::size_t(index)]->value;
}

PF_ParamIndex MiniHost::FindParam(std::string_view label) const {
  if (label.empty()) return -1;
  for (std::size_t i = 1; i < controls_.size(); ++i) {
    if (controls_[i]->name == label) return PF_ParamIndex(i);
  }
  return -1;
}

std::string MiniHost::ParamName(PF_ParamIndex index) const {
  if (index < 0 || index >= ParamCount()) return {};
  return controls_[std::size_t(index)]->name;
}

std::vector<std::string> MiniHost::Choices(PF_ParamIndex index) const {
  std::vector<std::string> out;
  if (index < 0 || index >= ParamCount()) return out;
  const Control& c = *controls_[std::size_t(index)];
  if (c.value.param_type == PF_Param_CHECKBOX) {
    out.push_back(c.text);
  } else if (c.value.param_type == PF_Param_POPUP) {
    std::size_t start = 0;
    for (std::size_t bar; (bar = c.text.find('|', start)) != std::string::npos; start = bar + 1) {
      out.push_back(c.text.substr(start, bar - start));
    }
    out.push_back(c.text.substr(start));
  }
  return out;
}

std::int32_t MiniHost::IntValue(PF_ParamIndex index) const {
  if (index < 0 || index >= ParamCount()) return 0;
  const PF_ParamDef& d = controls_[std::size_t(index)]->value;
  switch (d.param_type) {
    case PF_Param_POPUP:
      return d.u.pd.value;
    case PF_Param_SLIDER:
      return d.u.sd.value;
    case PF_Param_CHECKBOX:
      return d.u.bd.value;
    default:
      return 0;
  }
}

double MiniHost::FloatValue(PF_ParamIndex index) const {
  if (index < 0 || index >= ParamCount()) return 0.0;
  const PF_ParamDef& d = controls_[std::size_t(index)]->value;
  return d.param_type == PF_Param_FLOAT_SLIDER ? d.u.fs_d.value : double(IntValue(index));
}

std::uint32_t MiniHost::ColorValue(PF_ParamIndex index) const {
  if (index < 0 || index >= ParamCount()) return 0;
  const PF_ParamDef& d = controls_[std::size_t(index)]->value;
  return d.param_type == PF_Param_COLOR ? PackPixel(d.u.cd.value) : 0;
}

PF_ParamUIFlags MiniHost::UiFlags(PF_ParamIndex index) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || index >= ParamCount()) return 0;
  return controls_[std::size_t(index)]->uiFlags;
}

// ---- What happened ----

std::vector<CallRecord> MiniHost::CallLog() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<std::int32_t> MiniHost::ArgsOf(HostCall call) const {
  std::lock_guard lock(mutex_);
  std::vector<std::int32_t> args;
  for (const CallRecord& r : log_) {
    if (r.call == call) args.push_back(r.arg);
  }
  return args;
}

std::int64_t MiniHost::Count(HostCall call) const {
  std::lock_guard lock(mutex_);
  return std::size_t(call) < counts_.size() ? counts_[std::size_t(call)] : 0;
}

std::vector<AddParamRecord> MiniHost::Adds() const {
  std::lock_guard lock(mutex_);
  return adds_;
}

std::vector<ParamCheckoutRecord> MiniHost::ParamCheckouts() const {
  std::lock_guard lock(mutex_);
  return paramCheckouts_;
}

std::vector<LayerCheckoutRecord> MiniHost::LayerCheckouts() const {
  std::lock_guard lock(mutex_);
  return layerCheckouts_;
}

std::vector<UpdateParamUIRecord> MiniHost::UiUpdates() const {
  std::lock_guard lock(mutex_);
  return uiUpdates_;
}

std::int64_t MiniHost::CheckoutBalance() const {
  std::lock_guard lock(mutex_);
  return checkoutsSucceeded_ - checkins_;
}

std::int64_t MiniHost::SuiteAcquires(HostSuite suite) const {
  std::lock_guard lock(mutex_);
  return acquires_[std::size_t(suite)];
}

std::int64_t MiniHost::SuiteReleases(HostSuite suite) const {
  std::lock_guard lock(mutex_);
  return releases_[std::size_t(suite)];
}

std::int64_t MiniHost::SuiteImbalance() const {
  std::lock_guard lock(mutex_);
  std::int64_t held = unmatchedReleases_;
  for (const std::int64_t n : heldSuites_) held += n;
  return held;
}

std::int64_t MiniHost::BadEffectRefs() const {
  std::lock_guard lock(mutex_);
  return badEffectRefs_;
}

std::int64_t MiniHost::PreRenderDataKept() const {
  std::lock_guard lock(mutex_);
  return preRenderKept_;
}

std::int64_t MiniHost::PreRenderDataDeleted() const {
  std::lock_guard lock(mutex_);
  return preRenderDeleted_;
}

std::vector<GuardFailure> MiniHost::GuardFailures() const {
  std::lock_guard lock(mutex_);
  return guardFailures_;
}

void MiniHost::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
  counts_ = {};
  adds_.clear();
  paramCheckouts_.clear();
  layerCheckouts_.clear();
  uiUpdates_.clear();
  checkedOut_.clear();
  checkoutsSucceeded_ = 0;
  checkins_ = 0;
  acquires_ = {};
  releases_ = {};
  heldSuites_ = {};
  unmatchedReleases_ = 0;
  badEffectRefs_ = 0;
  preRenderKept_ = 0;
  preRenderDeleted_ = 0;
  guardFailures_.clear();
}

PF_OutData MiniHost::LastOutData() const {
  std::lock_guard lock(mutex_);
  return lastOut_;
}

PF_PreRenderOutput MiniHost::LastPreRenderOutput() const {
  std::lock_guard lock(mutex_);
  return lastPreRender_;
}

std::string MiniHost::AboutText() const {
  std::lock_guard lock(mutex_);
  return std::string(lastOut_.return_msg, strnlen(lastOut_.return_msg, sizeof lastOut_.return_msg));
}

GuardReport MiniHost::CheckGuards() const {
  GuardReport report = layer_->CheckGuards();
  report.Add(output_->CheckGuards());
  return report;
}

}  // namespace tessaline
