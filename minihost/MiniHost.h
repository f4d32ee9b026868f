#pragma once
// The in-process host: plays the compositing host's part for tests and tools.
// It drives an effect entry point given as a function pointer (so it can come
// from a loaded P_Tessaline.aex), keeps the parameters the effect registers
// and their values, serves every callback and suite the effect uses, owns the
// input and output worlds and the pre-render data, records every call, and can
// make any call fail.
//
//   MiniHost host(&EffectMain);
//   host.GlobalSetup();
//   host.ParamsSetup();
//   host.SetPopup(host.FindParam("Preset"), 6);        // sends the change command
//   host.SetFrame(PixelDepth::k16, 1920, 1080);
//   PF_Err err = host.RenderSmart();
//   PF_Pixel16 p = host.Output().At<PF_Pixel16>(540, 960);
//
// Geometry, as the host has it (see host-behaviour notes in the project's
// shared documents): rectangles are in layer coordinates at render resolution.
// The input world Layer() lies at the input origin (SetInputOrigin; an earlier
// effect that grew the layer 30 pixels on the left puts it at -30, 0), so its
// extent is origin .. origin + size. checkout_layer answers that extent as
// max_result_rect and its intersection with the request as result_rect;
// checkout_layer_pixels hands a view into Layer()'s memory covering that
// result_rect, origin_x / origin_y set; checkout_output hands Output() with
// its origin at the effect's result_rect. By default the output follows the
// frame: a smart pre-render re-makes it to cover the effect's result_rect
// (optionally as a window into a larger guarded image, SetOutputWindow), and
// a legacy render to the input's size; SetOutput fixes it to a given world.
// The legacy render receives Layer() itself, with
// in_data->pre_effect_source_origin_x / _y = -input origin. in_data->width /
// height are the layer's full-resolution size (SetLayerSize), the input's
// size unless set.
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

// How checkout_layer_pixels delivers an input with no pixels for the
// checkout (an empty result_rect): the host may do either.
enum class EmptyInput { kEmptyWorld, kNullWorld };

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
  // Starts with an 8-bit 160 x 90 input layer and output, no parameters but
  // the layer, every suite available and no faults.
  explicit MiniHost(EffectEntry entry);
  ~MiniHost();
  MiniHost(const MiniHost&) = delete;
  MiniHost& operator=(const MiniHost&) = delete;

  // ---- Session: each sends one command with fresh records. -----------------
  PF_Err About();  // the text is in AboutText()
  PF_Err GlobalSetup();
  // Registers afresh: the value records are built from the defaults of the
  // parameters added (layer at 0), even when an add fails.
  PF_Err ParamsSetup();
  PF_Err UpdateParamsUI();

  // "The user sets control X to V": writes the value into the parameter's
  // record; for a supervised control sends PF_Cmd_USER_CHANGED_PARAM and then
  // takes over the values the effect flagged PF_ChangeFlag_CHANGED_VALUE
  // (clearing the flags), undoing its unflagged writes. Returns the command's
  // result, PF_Err_NONE for an unsupervised control, PF_Err_INVALID_INDEX or
  // PF_Err_UNRECOGNIZED_PARAM_TYPE (and nothing done) for a wrong index or type.
  PF_Err SetFloat(PF_ParamIndex index, double value);           // u.fs_d.value
  PF_Err SetSlider(PF_ParamIndex index, std::int32_t value);    // u.sd.value
  PF_Err SetPopup(PF_ParamIndex index, std::int32_t value);     // u.pd.value, 1-based
  PF_Err SetCheckbox(PF_ParamIndex index, std::int32_t value);  // u.bd.value
  PF_Err SetColor(PF_ParamIndex index, std::uint32_t packed);   // u.cd.value, see PackPixel

  // One frame: smart pre-render, smart render and release of the pre-render
  // data; or the legacy render command with the current values. The input is
  // Layer(), the output Output() unless another world is given; a smart
  // render hands either out with its origin at the effect's result_rect, a
  // legacy render with origin 0, 0. A smart render whose output would need
  // more than kMaxOutputBytes answers PF_Err_OUT_OF_MEMORY, as a host that
  // cannot allocate it, without calling the effect.
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
  // The input layer (its origin kept). The output, when it follows the frame,
  // takes the input's depth and size at once.
  void SetLayer(PixelDepth depth, std::int32_t width, std::int32_t height,
                std::int32_t rowbytes = 0);
  // A fixed output world: handed out as it is until SetFrame or SetOutputWindow.
  void SetOutput(PixelDepth depth, std::int32_t width, std::int32_t height,
                 std::int32_t rowbytes = 0);
  // Input layer with packed rows at origin 0, 0, and an output that follows
  // the frame, with packed rows.
  void SetFrame(PixelDepth depth, std::int32_t width, std::int32_t height);
  // The output follows the frame as a window into a larger image: `margins`
  // foreign pixels around it, `rowbytes` the image's stride (0 packed,
  // negative bottom-up, widened as World does). Nothing outside the window
  // may change in any command (the guard check after each command).
  void SetOutputWindow(const WorldMargins& margins, std::int32_t rowbytes = 0);
  bool OutputFollowsFrame() const { return outputFollows_; }
  World& Layer() { return *layer_; }
  // The output world of the last render (or the one to come).
  World& Output() { return *output_; }
  // Where Layer()'s pixel (0, 0) lies in layer coordinates; default 0, 0.
  void SetInputOrigin(std::int32_t x, std::int32_t y);
  PF_LRect InputOrigin() const { return PF_LRect{inputOriginX_, inputOriginY_, 0, 0}; }
  // The input's extent in layer coordinates (all zero when it has no pixels).
  PF_LRect InputExtent() const;
  // in_data->width / height: the layer's full-resolution size. By default
  // (and after ResetLayerSize) the input world's size.
  void SetLayerSize(A_long width, A_long height);
  void ResetLayerSize();
  void SetEmptyInput(EmptyInput delivery);  // default kEmptyWorld
  // Makes Output() the world checkout_output hands for an effect result_rect:
  // re-made (when it follows the frame and its geometry differs) to the
  // rectangle's size at the input's depth, then its origin set to the
  // rectangle's left, top. False, and nothing changed, when the world would
  // need more than kMaxOutputBytes.
  static constexpr std::int64_t kMaxOutputBytes = std::int64_t{1} << 30;
  bool PlaceOutput(const PF_LRect& result_rect);
  // in_data times; defaults 1001, 1001, 30000 (frame 1 at 29.97 fps).
  void SetTime(A_long current_time, A_long time_step, A_u_long time_scale);
  void SetDownsample(PF_RationalScale x, PF_RationalScale y);  // default 1/1, 1/1
  // The pre-render's output_request; by default field PF_Field_FRAME, all
  // channels, and rect = the input's extent (until a request is set).
  void SetOutputRequest(const PF_RenderRequest& request);
  void ResetOutputRequest();
  // What checkout_layer reports, overriding the input's extent and its
  // intersection with the request; checkout_layer_pixels still delivers only
  // pixels the input has (the result_rect within the input's extent).
  void SetCheckoutResultRects(const PF_LRect& result_rect, const PF_LRect& max_result_rect);
  void ResetCheckoutResultRects();
  // Without the basic suite, in_data.pica_basicP is null; a suite that is not
  // available fails to be acquired, as does an unknown name or version.
  void SetBasicSuiteAvailable(bool available);
  void SetSuiteAvailable(HostSuite suite, bool available);

  // Plays a third-party host of this plug-in format, as the host-behaviour
  // notes observe one: in_data sparse (width, height, both downsample
  // factors, pixel_aspect_ratio, version, appl_id and the times 0,
  // extent_hint empty, effect_ref null during About and global setup); the
  // host's own address as `extra` of every command that takes no extra
  // record; a suite it does not have answered with no error and a null
  // table; and no smart rendering: the smart pair answers
  // PF_Err_INVALID_CALLBACK without calling the effect. Off by default.
  void SetSparseHost(bool sparse) { sparseHost_ = sparse; }

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
  // Values by type: popups, sliders, checkboxes / float sliders / colors.
  std::int32_t IntValue(PF_ParamIndex index) const;
  double FloatValue(PF_ParamIndex index) const;
  std::uint32_t ColorValue(PF_ParamIndex index) const;
  // The host's view of a control's UI: ui_flags as registered, then as the
  // last PF_UpdateParamUI set them.
  PF_ParamUIFlags UiFlags(PF_ParamIndex index) const;
  bool IsDisabled(PF_ParamIndex index) const { return (UiFlags(index) & PF_PUI_DISABLED) != 0; }

  // ---- What happened ---------------------------------------------------------
  // Since construction or the last ClearLog(); each reads the log under the
  // host's lock.
  template <typename Read>
  auto ReadLog(Read&& read) const {
    std::lock_guard lock(mutex_);
    return read(std::as_const(log_));
  }
  tessaline::CallLog Log() const {
    return ReadLog([](const tessaline::CallLog& l) { return l; });
  }
  std::vector<CallRecord> Calls() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.calls; });
  }
  std::vector<std::int32_t> ArgsOf(HostCall call) const {  // arguments, in call order
    return ReadLog([call](const tessaline::CallLog& l) { return l.ArgsOf(call); });
  }
  std::int64_t Count(HostCall call) const {
    return ReadLog([call](const tessaline::CallLog& l) { return l.Count(call); });
  }
  std::vector<AddParamRecord> Adds() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.adds; });
  }
  std::vector<ParamCheckoutRecord> ParamCheckouts() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.paramCheckouts; });
  }
  std::vector<LayerCheckoutRecord> LayerCheckouts() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.layerCheckouts; });
  }
  std::vector<UpdateParamUIRecord> UiUpdates() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.uiUpdates; });
  }
  std::int64_t CheckoutBalance() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.CheckoutBalance(); });
  }
  std::int64_t SuiteAcquires(HostSuite suite) const {
    return ReadLog([suite](const tessaline::CallLog& l) { return l.acquires[std::size_t(suite)]; });
  }
  std::int64_t SuiteReleases(HostSuite suite) const {
    return ReadLog([suite](const tessaline::CallLog& l) { return l.releases[std::size_t(suite)]; });
  }
  std::int64_t SuiteImbalance() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.SuiteImbalance(); });
  }
  // Callbacks whose effect_ref was not this host's.
  std::int64_t BadEffectRefs() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.badEffectRefs; });
  }
  // Pre-render data taken over, and delete-function calls.
  std::int64_t PreRenderDataKept() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.preRenderKept; });
  }
  std::int64_t PreRenderDataDeleted() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.preRenderDeleted; });
  }
  std::vector<GuardFailure> GuardFailures() const {
    return ReadLog([](const tessaline::CallLog& l) { return l.guardFailures; });
  }
  void ClearLog() {
    std::lock_guard lock(mutex_);
    log_ = tessaline::CallLog{};
  }

  // The out_data of the last command, and the last pre-render's output record.
  PF_OutData LastOutData() const;
  PF_PreRenderOutput LastPreRenderOutput() const;
  std::string AboutText() const;  // return_msg of the last command
  // Of the last change command: values taken over, and unflagged writes undone.
  const std::vector<PF_ParamIndex>& LastTakenOver() const { return lastTakenOver_; }
  const std::vector<PF_ParamIndex>& LastIgnoredWrites() const { return lastIgnored_; }

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
  // The one value setter: writes the value into a control of `type`, then
  // tells the effect as the user's change would.
  template <typename Write>
  PF_Err SetValue(PF_ParamIndex index, PF_ParamType type, Write&& write);
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
  bool basicAvailable_ = true;
  std::array<bool, std::size_t(HostSuite::kCount)> suiteAvailable_{true, true};

  std::unique_ptr<World> layer_;
  std::unique_ptr<World> output_;
  std::int32_t inputOriginX_ = 0;
  std::int32_t inputOriginY_ = 0;
  bool layerSizeSet_ = false;
  A_long layerWidth_ = 0;
  A_long layerHeight_ = 0;
  EmptyInput emptyInput_ = EmptyInput::kEmptyWorld;
  bool outputFollows_ = true;
  WorldMargins outputMargins_{};
  std::int32_t outputRowbytes_ = 0;
  A_long currentTime_ = 1001;
  A_long timeStep_ = 1001;
  A_u_long timeScale_ = 30000;
  PF_RationalScale downsampleX_{1, 1};
  PF_RationalScale downsampleY_{1, 1};
  bool sparseHost_ = false;
  PF_RenderRequest request_{};
  bool requestSet_ = false;
  PF_LRect checkoutResultRect_{};
  PF_LRect checkoutMaxResultRect_{};
  bool checkoutRectsSet_ = false;

  // Registration of the current parameter setup, and the value records.
  std::vector<AddParamRecord> registered_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<PF_ParamDef*> params_;
  std::vector<PF_ParamIndex> lastTakenOver_;
  std::vector<PF_ParamIndex> lastIgnored_;

  // Everything below is shared with callbacks and guarded by mutex_.
  mutable std::mutex mutex_;
  FaultPlan faults_;
  tessaline::CallLog log_;
  std::vector<LayerCheckout> sentCheckouts_;  // of commands sent without a frame
  PF_OutData lastOut_{};
  PF_PreRenderOutput lastPreRender_{};
};

}  // namespace tessaline
