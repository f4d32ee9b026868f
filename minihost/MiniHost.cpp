#include "minihost/MiniHost.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "minihost/CommandScope.h"

namespace tessaline {

// ---- SmartFrame ----

void SmartFrame::Release() {
  if (!pending_) return;
  pending_ = false;
  if (host_ != nullptr) host_->ReleaseFrame(*this);
}

// ---- MiniHost ----

MiniHost::MiniHost(EffectEntry entry, const HostConfig& config) : entry_(entry) {
  InstallSuites();
  Configure(config);
  BuildParams();
}

MiniHost::~MiniHost() = default;

// ---- Session ----

PF_Err MiniHost::Command(Scope& scope, PF_Cmd cmd, PF_ParamDef** params, PF_LayerDef* output,
                         void* extra) {
  PF_InData in = MakeInData();
  PF_OutData out = MakeOutData();
  if (config_.sparseHost) {
    if (cmd == PF_Cmd_ABOUT || cmd == PF_Cmd_GLOBAL_SETUP) in.effect_ref = nullptr;
    if (extra == nullptr) extra = this;
  }
  return Call(scope, cmd, &in, &out, params, output, extra);
}

PF_Err MiniHost::Command(PF_Cmd cmd, PF_ParamDef** params, void* extra) {
  Scope scope(this, layer_.get(), output_.get());
  return Command(scope, cmd, params, nullptr, extra);
}

PF_Err MiniHost::About() {
  return Command(PF_Cmd_ABOUT);
}

PF_Err MiniHost::GlobalSetup() {
  return Command(PF_Cmd_GLOBAL_SETUP);
}

PF_Err MiniHost::ParamsSetup() {
  return Command(PF_Cmd_PARAMS_SETUP);
}

PF_Err MiniHost::UpdateParamsUI() {
  return Command(PF_Cmd_UPDATE_PARAMS_UI, Params());
}

PF_Err MiniHost::SetValue(PF_ParamIndex index, double value) {
  if (index < 0 || index >= ParamCount()) return PF_Err_INVALID_INDEX;
  const PF_Err err = WriteValue(controls_[std::size_t(index)]->value, value);
  return err != PF_Err_NONE ? err : UserChanged(index);
}

PF_Err MiniHost::UserChanged(PF_ParamIndex index) {
  std::vector<PF_ParamIndex> takenOver;
  std::vector<PF_ParamIndex> ignored;
  const auto keep = [&] {
    std::lock_guard lock(mutex_);
    log_.takenOver = std::move(takenOver);
    log_.ignoredWrites = std::move(ignored);
  };
  if ((controls_[std::size_t(index)]->value.flags & PF_ParamFlag_SUPERVISE) == 0) {
    keep();
    return PF_Err_NONE;
  }
  std::vector<PF_ParamDef> before;
  before.reserve(controls_.size());
  for (const auto& c : controls_) before.push_back(c->value);

  PF_UserChangedParamExtra extra{};
  extra.param_index = index;
  const PF_Err err = Command(PF_Cmd_USER_CHANGED_PARAM, Params(), &extra);

  // The host keeps a written value only when the effect flagged it.
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    PF_ParamDef& now = controls_[i]->value;
    PF_ParamDef kept = before[i];
    if ((now.uu.change_flags & PF_ChangeFlag_CHANGED_VALUE) != 0) {
      TakeOverValue(kept, now);
      takenOver.push_back(PF_ParamIndex(i));
    } else if (std::memcmp(&now, &kept, sizeof kept) != 0) {
      ignored.push_back(PF_ParamIndex(i));
    }
    now = kept;
  }
  keep();
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
  if (config_.sparseHost) return PF_Err_INVALID_CALLBACK;
  frame->host_ = this;
  frame->checkouts_.clear();
  frame->input_ = PF_PreRenderInput{};
  frame->input_.output_request = CurrentRequest();
  frame->input_.bitdepth = short(config_.OutputFollowsFrame() ? layer_->depth() : output_->depth());
  frame->input_.what_gpu = PF_GPU_Framework_NONE;
  frame->output_ = PF_PreRenderOutput{};

  PF_PreRenderCallbacks cb = MakePreRenderCallbacks();
  PF_PreRenderExtra extra{};
  extra.input = &frame->input_;
  extra.output = &frame->output_;
  extra.cb = &cb;
  Scope scope(this, layer_.get(), output_.get());
  scope.collect = &frame->checkouts_;
  const PF_Err err = Command(scope, PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, &extra);

  // After success the host owns the data until the frame is done.
  frame->pending_ = err == PF_Err_NONE && (frame->output_.pre_render_data != nullptr ||
                                           frame->output_.delete_pre_render_data_func != nullptr);
  if (err == PF_Err_NONE) PlaceOutput(frame->output_.result_rect);
  std::lock_guard lock(mutex_);
  log_.lastPreRender = frame->output_;
  if (frame->pending_) ++log_.preRenderKept;
  return err;
}

PF_Err MiniHost::SmartRender(const SmartFrame& frame, World* output) {
  if (config_.sparseHost) return PF_Err_INVALID_CALLBACK;
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
  Scope scope(this, layer_.get(), &target);
  scope.known = &frame.checkouts_;
  return Command(scope, PF_Cmd_SMART_RENDER, nullptr, nullptr, &extra);
}

PF_Err MiniHost::RenderLegacy(World* output) {
  if (output == nullptr && config_.OutputFollowsFrame()) {
    FollowFrame(layer_->depth(), layer_->width(), layer_->height());
  }
  World& target = output != nullptr ? *output : *output_;
  target.SetOrigin(0, 0);
  Scope scope(this, layer_.get(), &target);
  return Command(scope, PF_Cmd_RENDER, Params(), target.def(), nullptr);
}

void MiniHost::ReleaseFrame(SmartFrame& frame) {
  const PF_DeletePreRenderDataFunc release = frame.output_.delete_pre_render_data_func;
  if (release == nullptr) return;
  {
    std::lock_guard lock(mutex_);
    ++log_.counts[std::size_t(HostCall::kDeletePreRenderData)];
    ++log_.preRenderDeleted;
    log_.Add(HostCall::kDeletePreRenderData, 0, PF_Err_NONE);
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
    ++log_.counts[std::size_t(HostCall::kCommand)];
    entry = log_.calls.size();
    log_.Add(HostCall::kCommand, cmd, PF_Err_NONE);
    if (cmd == PF_Cmd_PARAMS_SETUP) registered_.clear();
  }
  PF_Err err = PF_Err_NONE;
  {
    Scope::Mark mark(scope);
    err = entry_(cmd, in_data, out_data, params, output, extra);
  }
  const GuardReport input = scope.input->CheckGuards();
  const GuardReport out = scope.output->CheckGuards();
  {
    std::lock_guard lock(mutex_);
    std::vector<CallRecord>& calls = log_.calls;
    if (entry < calls.size() && calls[entry].call == HostCall::kCommand) calls[entry].result = err;
    if (out_data != nullptr) log_.lastOut = *out_data;
    if (!input.Intact()) log_.guardFailures.push_back(GuardFailure{cmd, false, input});
    if (!out.Intact()) log_.guardFailures.push_back(GuardFailure{cmd, true, out});
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
  controls.push_back(LayerControl(*layer_->def()));
  for (const AddParamRecord& r : registered) controls.push_back(RegisteredControl(r));
  std::lock_guard lock(mutex_);
  controls_ = std::move(controls);
  params_.clear();
  for (const auto& c : controls_) params_.push_back(&c->value);
  params_.push_back(nullptr);
}

// ---- Faults ----

const Fault* MiniHost::Arrive(HostCall call, std::int32_t arg) {
  ++log_.counts[std::size_t(call)];
  return faults_.Hit(call, arg);
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
  if (index < 0 || index >= ParamCount()) return {};
  return ChoicesOf(*controls_[std::size_t(index)]);
}

double MiniHost::Value(PF_ParamIndex index) const {
  if (index < 0 || index >= ParamCount()) return 0.0;
  return ValueOf(controls_[std::size_t(index)]->value);
}

bool MiniHost::IsDisabled(PF_ParamIndex index) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || index >= ParamCount()) return false;
  return (controls_[std::size_t(index)]->uiFlags & PF_PUI_DISABLED) != 0;
}

// ---- What happened ----

GuardReport MiniHost::CheckGuards() const {
  GuardReport report = layer_->CheckGuards();
  report.Add(output_->CheckGuards());
  return report;
}

}  // namespace tessaline
