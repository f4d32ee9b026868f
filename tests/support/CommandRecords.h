#pragma once
// The records of one command as a host sends them, fresh from the in-process
// host, any of them null as asked (Record bits, and params entries a bit per
// index): what the session fuzzer and the missing-records test send. Extras
// point into the object, which therefore stays where it was made.
#include <array>
#include <cstdint>

#include "core/ParamIndex.h"
#include "minihost/MiniHost.h"
#include "tests/support/HostRules.h"

namespace tessaline::test {

class CommandRecords {
 public:
  CommandRecords(MiniHost& host, std::uint32_t nulls, std::uint32_t nullEntries)
      : host_(host), nulls_(nulls), nullEntries_(nullEntries) {
    in = host.MakeInData();
    if (Null(kNullCheckoutParam)) in.inter.checkout_param = nullptr;
    if (Null(kNullCheckinParam)) in.inter.checkin_param = nullptr;
    if (Null(kNullAddParam)) in.inter.add_param = nullptr;
    if (Null(kNullBasicSuite)) in.pica_basicP = nullptr;
    out = host.MakeOutData();
    for (int i = 0; i < kParamCount && i < host.ParamCount(); ++i) {
      copies[std::size_t(i)] = *host.Param(i);
      params[std::size_t(i)] = (nullEntries & (1u << i)) != 0 ? nullptr : &copies[std::size_t(i)];
    }
    if (Null(kNullLayerData)) copies[kInputLayer].u.ld.data = nullptr;
    output = *host.Output().def();
    output.origin_x = output.origin_y = 0;  // filled for smart check-outs only
    if (Null(kNullOutputData)) output.data = nullptr;
    preInput.bitdepth = short(host.Output().depth());
    preOutput.result_rect = PF_LRect{-7, -7, -7, -7};
    preOutput.max_result_rect = PF_LRect{-8, -8, -8, -8};
    preOutput.solid = 1;
    preOutput.flags = 3;
    preCb = host.MakePreRenderCallbacks();
    if (Null(kNullLayerCallback)) preCb.checkout_layer = nullptr;
    smartInput.bitdepth = 8;
    smartCb = host.MakeSmartRenderCallbacks();
    if (Null(kNullLayerCallback)) smartCb.checkout_layer_pixels = nullptr;
    if (Null(kNullOutputCallback)) smartCb.checkout_output = nullptr;
  }
  CommandRecords(const CommandRecords&) = delete;
  CommandRecords& operator=(const CommandRecords&) = delete;

  bool Null(Record r) const { return (nulls_ & r) != 0; }
  // Whether `cmd` misses a record it needs (kNeededRecords).
  bool Misses(PF_Cmd cmd) const { return MissesNeeded(cmd, nulls_, nullEntries_); }

  // The smart render's frame, unless asked to be null.
  void SetPreRenderData(void* data) {
    smartInput.pre_render_data = Null(kNullPreRenderData) ? nullptr : data;
  }

  PF_InData* InData() { return Null(kNullInData) ? nullptr : &in; }
  PF_OutData* OutData() { return Null(kNullOutData) ? nullptr : &out; }
  PF_ParamDef** Params() { return Null(kNullParams) ? nullptr : params.data(); }

  // The extra record `cmd` takes, and its output world.
  void* Extra(PF_Cmd cmd) {
    if (Null(kNullExtra)) return nullptr;
    switch (cmd) {
      case PF_Cmd_USER_CHANGED_PARAM:
        return &changed;
      case PF_Cmd_SMART_PRE_RENDER:
        preExtra = {Null(kNullExtraInput) ? nullptr : &preInput,
                    Null(kNullExtraOutput) ? nullptr : &preOutput,
                    Null(kNullExtraCb) ? nullptr : &preCb};
        return &preExtra;
      case PF_Cmd_SMART_RENDER:
        smartExtra = {Null(kNullExtraInput) ? nullptr : &smartInput,
                      Null(kNullExtraCb) ? nullptr : &smartCb};
        return &smartExtra;
      default:
        return nullptr;
    }
  }
  PF_LayerDef* Output(PF_Cmd cmd) {
    return cmd == PF_Cmd_RENDER && !Null(kNullOutput) ? &output : nullptr;
  }

  PF_Err Send(PF_Cmd cmd) { return Send(cmd, Output(cmd), Extra(cmd)); }
  PF_Err Send(PF_Cmd cmd, PF_LayerDef* world, void* extra) {
    return host_.Send(cmd, InData(), OutData(), Params(), world, extra);
  }

  PF_InData in{};
  PF_OutData out{};
  std::array<PF_ParamDef, kParamCount> copies{};
  std::array<PF_ParamDef*, kParamCount + 1> params{};
  PF_LayerDef output{};
  PF_UserChangedParamExtra changed{};
  PF_PreRenderInput preInput{};
  PF_PreRenderOutput preOutput{};
  PF_PreRenderCallbacks preCb{};
  PF_PreRenderExtra preExtra{};
  PF_SmartRenderInput smartInput{};
  PF_SmartRenderCallbacks smartCb{};
  PF_SmartRenderExtra smartExtra{};

 private:
  MiniHost& host_;
  std::uint32_t nulls_;
  std::uint32_t nullEntries_;
};

}  // namespace tessaline::test
