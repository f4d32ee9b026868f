#pragma once
// The in-process host: plays the compositing host's part for tests and tools.
// It drives an effect entry point given as a function pointer (so it can come
// from a loaded P_Tessaline.aex), keeps the parameters the effect registers
// and their values, serves every callback and suite the effect uses, owns the
// input and output worlds and the pre-render data, records every call, and can
// make any call fail.
//
// The API: commands (setup, a control's change, renders, raw commands), one
// configuration value applied between commands (HostConfig), one snapshot of
// what happened (Log()), and the faults to inject (AddFault).
//
//   MiniHost host(&EffectMain);
//   host.GlobalSetup();
//   host.ParamsSetup();
//   host.SetValue(host.FindParam("Preset"), 6);  // sends the change command
//   host.Configure({.input = {PixelDepth::k16, 1920, 1080}});
//   PF_Err err = host.RenderSmart();
//   PF_Pixel16 p = host.Output().At<PF_Pixel16>(540, 960);
//   EXPECT_EQ(host.Log().CheckoutBalance(), 0);
//
// Geometry, as the host has it (see host-behaviour notes in the project's
// shared documents): rectangles are in layer coordinates at render resolution.
// The input world Layer() lies at the input origin (an earlier effect that
// grew the layer 30 pixels on the left puts it at -30, 0), so its extent is
// origin .. origin + size. checkout_layer answers that extent as
// max_result_rect and its intersection with the request as result_rect;
// checkout_layer_pixels hands a view into Layer()'s memory covering that
// result_rect, origin_x / origin_y set; checkout_output hands Output() with
// its origin at the effect's result_rect. By default the output follows the
// frame: a smart pre-render re-makes it to cover the effect's result_rect
// (optionally as a window into a larger guarded image), and a legacy render
// to the input's size; a fixed output is handed out as it is. The legacy
// render receives Layer() itself, with in_data->pre_effect_source_origin_x /
// _y = -input origin. in_data->width / height are the layer's full-resolution
// size, the input's size unless set.
//
// Callbacks find their host through effect_ref, which is the host's address.
// The basic suite and PF_GetPixelFormat receive no effect_ref; they find the
// host through the command running on the calling thread, which the host
// marks (thread-locally) around every call of the entry point. So several
// hosts may work at once on several threads, and one host may render on
// several threads at once (SmartRender, RenderLegacy); the session commands
// (setup, value changes, UI update) and configuration are for one thread.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/HostSdk.h"
#include "host/PackedPixel.h"
#include "minihost/CallLog.h"
#include "minihost/Controls.h"
#include "minihost/FaultPlan.h"
#include "minihost/HostConfig.h"
#include "minihost/World.h"

namespace tessaline {

// The effect entry point, as exported by the plug-in.
using EffectEntry = PF_Err (*)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                               PF_ParamDef** params, PF_LayerDef* output, void* extra);

// The "suite not found" code of the basic suite ('S!Fd').
inline constexpr SPErr kSuiteNotFoundError = 0x53214664;

class MiniHost;

// A successful checkout_layer: its id and the result_rect answered.
struct LayerCheckout {
  A_long id;
  PF_LRect rect;
};

// The two ways the host renders a frame: the smart pair, or the legacy
// render command.
enum class RenderPath : std::int32_t { kSmart, kLegacy };

// One frame of smart rendering: what a successful pre-render handed to the
// host, kept until the frame is done. Release() (or the destructor) calls the
// effect's delete function exactly once. The host must outlive the frame.
class SmartFrame {
 public:
  SmartFrame() = default;
  ~SmartFrame() { Release(); }
  SmartFrame(const SmartFrame&) = delete;
  SmartFrame& operator=(const SmartFrame&) = delete;

  // The host owns pre-render data that has not been released yet.
  bool pending() const { return pending_; }
  void* data() const { return pending_ ? output_.pre_render_data : nullptr; }
  // The records as the pre-render left them (also after a failure).
  const PF_PreRenderInput& preRenderInput() const { return input_; }
  const PF_PreRenderOutput& preRenderOutput() const { return output_; }
  const std::vector<LayerCheckout>& checkouts() const { return checkouts_; }
  void Release();

 private:
  friend class MiniHost;
  MiniHost* host_ = nullptr;
  PF_PreRenderInput input_{};
  PF_PreRenderOutput output_{};
  std::vector<LayerCheckout> checkouts_;  // of checkout_layer, for checkout_layer_pixels
  bool pending_ = false;
};

class MiniHost {
 public:
  // Starts with no parameters but the layer, no faults and the given
  // configuration.
  explicit MiniHost(EffectEntry entry, const HostConfig& config = {});
  ~MiniHost();
  MiniHost(const MiniHost&) = delete;
  MiniHost& operator=(const MiniHost&) = delete;

  // ---- Session: each sends one command with fresh records. -----------------
  PF_Err About();  // the text is in Log().AboutText()
  PF_Err GlobalSetup();
  // Registers afresh: the value records are built from the defaults of the
  // parameters added (layer at 0), even when an add fails.
  PF_Err ParamsSetup();
  PF_Err UpdateParamsUI();

  // "The user sets control X to V": writes the value into the parameter's
  // record (a popup's 1-based choice, a slider's or checkbox's integer, a
  // float slider's value, a color packed as PackPixel); for a supervised
  // control sends PF_Cmd_USER_CHANGED_PARAM and then takes over the values
  // the effect flagged PF_ChangeFlag_CHANGED_VALUE (clearing the flags),
  // undoing its unflagged writes (see CallLog::takenOver, ignoredWrites).
  // Returns the command's result, PF_Err_NONE for an unsupervised control;
  // PF_Err_INVALID_INDEX for a wrong index, PF_Err_UNRECOGNIZED_PARAM_TYPE
  // for a control without a value and PF_Err_BAD_CALLBACK_PARAM for a value
  // the control cannot hold (an integer control's value not whole or out of
  // its type's range), with nothing done.
  PF_Err SetValue(PF_ParamIndex index, double value);

  // One frame: smart pre-render, smart render and release of the pre-render
  // data; or the legacy render command with the current values. The input is
  // Layer(), the output Output() unless another world is given; a smart
  // render hands either out with its origin at the effect's result_rect, a
  // legacy render with origin 0, 0. A smart render whose output would need
  // more than kMaxOutputBytes answers PF_Err_OUT_OF_MEMORY, as a host that
  // cannot allocate it, without calling the effect.
  static constexpr std::int64_t kMaxOutputBytes = std::int64_t{1} << 30;
  PF_Err RenderSmart();
  PF_Err RenderLegacy(World* output = nullptr);
  PF_Err Render(RenderPath path) {
    return path == RenderPath::kSmart ? RenderSmart() : RenderLegacy();
  }
  // The smart pair in steps, for threaded rendering: one pre-render, then any
  // number of renders of that frame (on several threads at once, each into its
  // own output world), then frame->Release(). A successful pre-render places
  // Output() for the frame (see PlaceOutput).
  PF_Err SmartPreRender(SmartFrame* frame);
  PF_Err SmartRender(const SmartFrame& frame, World* output = nullptr);
  // Makes Output() the world checkout_output hands for an effect result_rect:
  // re-made (when it follows the frame and its geometry differs) to the
  // rectangle's size at the input's depth, then its origin set to the
  // rectangle's left, top. False, and nothing changed, when the world would
  // need more than kMaxOutputBytes.
  bool PlaceOutput(const PF_LRect& result_rect);

  // Any command with any records (null ones too), passed as given. A
  // PF_Cmd_PARAMS_SETUP starts a fresh registration here as well.
  PF_Err Send(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef** params,
              PF_LayerDef* output, void* extra);
  // The records the host would send: in_data with its callbacks, times, layer
  // size and basic suite; a zero out_data but for num_params = ParamCount();
  // the callback records of the smart pair.
  PF_InData MakeInData();
  PF_OutData MakeOutData() const;
  PF_PreRenderCallbacks MakePreRenderCallbacks() const;
  PF_SmartRenderCallbacks MakeSmartRenderCallbacks() const;
  PF_ProgPtr EffectRef() const { return reinterpret_cast<PF_ProgPtr>(const_cast<MiniHost*>(this)); }

  // ---- Configuration (between commands) ------------------------------------
  // Applies a whole configuration. The input world is made afresh when its
  // geometry changes (the layer parameter then shows it); the output when
  // its kind, window or fixed geometry changes, and one that follows the
  // frame takes the input's depth and size whenever either changes.
  void Configure(const HostConfig& config);
  const HostConfig& Config() const { return config_; }
  World& Layer() { return *layer_; }
  // The output world of the last render (or the one to come).
  World& Output() { return *output_; }

  // ---- Faults --------------------------------------------------------------
  void AddFault(const Fault& fault);
  void ClearFaults();
  std::int64_t FaultsFired() const;

  // ---- Parameters ------------------------------------------------------------
  // Entries in params (layer included); the array holds one null pointer more.
  std::int32_t ParamCount() const { return std::int32_t(controls_.size()); }
  PF_ParamDef** Params() { return params_.data(); }
  // The current-value record, or null for an index out of range.
  PF_ParamDef* Param(PF_ParamIndex index);
  // The index of the control whose name is `label`, or -1.
  PF_ParamIndex FindParam(std::string_view label) const;
  std::string ParamName(PF_ParamIndex index) const;
  // Popup choices split at "|"; a checkbox's label as one entry; else empty.
  std::vector<std::string> Choices(PF_ParamIndex index) const;
  // The value as SetValue takes it; 0 for a control without a value.
  double Value(PF_ParamIndex index) const;
  // The host's view of a control's UI: greyed out as registered, then as the
  // last PF_UpdateParamUI set it.
  bool IsDisabled(PF_ParamIndex index) const;

  // ---- What happened ---------------------------------------------------------
  // Since construction or the last ClearLog(), read under the host's lock.
  CallLog Log() const {
    std::lock_guard lock(mutex_);
    return log_;
  }
  void ClearLog() {
    std::lock_guard lock(mutex_);
    log_ = CallLog{};
  }
  // Guard check of the input layer and the output world now.
  GuardReport CheckGuards() const;

 private:
  friend class SmartFrame;
  struct Serving;
  struct Callbacks;
  struct Suites;
  struct Scope;
  // The one command sender: fresh in_data and out_data, the scope's worlds.
  PF_Err Command(Scope& scope, PF_Cmd cmd, PF_ParamDef** params, PF_LayerDef* output, void* extra);
  PF_Err Command(PF_Cmd cmd, PF_ParamDef** params = nullptr, void* extra = nullptr);
  void InstallSuites();
  // in_data's values other than the callbacks.
  void FillInData(PF_InData& in) const;
  PF_Err Call(Scope& scope, PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
              PF_ParamDef** params, PF_LayerDef* output, void* extra);
  void FollowFrame(PixelDepth depth, std::int32_t width, std::int32_t height);
  PF_LRect CheckoutRectFor(const Scope& scope, A_long id) const;
  PF_Err UserChanged(PF_ParamIndex index);
  void BuildParams();
  bool IsValueRecord(const PF_ParamDef* def) const;
  void ReleaseFrame(SmartFrame& frame);
  PF_RenderRequest CurrentRequest() const;
  // Under mutex_: counts the call, returns the fault that hits it.
  const Fault* Arrive(HostCall call, std::int32_t arg);

  EffectEntry entry_;
  SPBasicSuite basic_{};
  PF_WorldSuite2 worldSuite_{};
  PF_ParamUtilsSuite3 paramUtilsSuite_{};

  // Read by callbacks under mutex_, written by Configure under it too.
  HostConfig config_;
  std::unique_ptr<World> layer_;
  std::unique_ptr<World> output_;

  // Registration of the current parameter setup, and the value records.
  std::vector<AddParamRecord> registered_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<PF_ParamDef*> params_;

  // Everything below is shared with callbacks and guarded by mutex_.
  mutable std::mutex mutex_;
  FaultPlan faults_;
  CallLog log_;
  std::vector<LayerCheckout> sentCheckouts_;  // of commands sent without a frame
};

}  // namespace tessaline
