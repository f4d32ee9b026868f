// The suites the host serves through the basic suite: the basic suite
// itself, "PF World Suite" 2 and "PF Param Utils Suite" 3.
#include <cstdlib>
#include <cstring>

#include "minihost/CallbackServing.h"

namespace tessaline {

namespace {

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

}  // namespace

struct MiniHost::Suites : Serving {
  // ---- SPBasicSuite (no effect_ref: the running command's host serves it) ----

  static SPErr AcquireSuite(const char* name, std::int32_t version, const void** suite) {
    if (suite != nullptr) *suite = nullptr;
    const std::int32_t id = SuiteIdOf(name, version);
    return Serve(
        Scope::Current(), HostCall::kAcquireSuite, id, kSuiteNotFoundError,
        [&](MiniHost& h, const Fault* f) {
          SPErr err = kSPNoError;
          const void* table = nullptr;
          if (f != nullptr) {
            if (f->effect != FaultEffect::kNullResult) err = f->error;
          } else if (suite == nullptr || id == kUnknownSuite || !h.config_.suites[HostSuite(id)]) {
            err = h.config_.sparseHost ? kSPNoError : kSuiteNotFoundError;
          } else if (id == std::int32_t(HostSuite::kWorld)) {
            table = &h.worldSuite_;
          } else {
            table = &h.paramUtilsSuite_;
          }
          if (table != nullptr) {
            *suite = table;
            ++h.log_.acquires[HostSuite(id)];
            ++h.log_.held[HostSuite(id)];
          }
          return err;
        });
  }

  static SPErr ReleaseSuite(const char* name, std::int32_t version) {
    const std::int32_t id = SuiteIdOf(name, version);
    return Serve(Scope::Current(), HostCall::kReleaseSuite, id, kSuiteNotFoundError,
                 [&](MiniHost& h, const Fault* f) {
                   SPErr err = kSPNoError;
                   if (id == kUnknownSuite) {
                     err = kSuiteNotFoundError;
                     ++h.log_.unmatchedReleases;
                   } else {
                     ++h.log_.releases[HostSuite(id)];
                     if (h.log_.held[HostSuite(id)] > 0) {
                       --h.log_.held[HostSuite(id)];
                     } else {
                       ++h.log_.unmatchedReleases;
                       err = kSuiteNotFoundError;
                     }
                   }
                   return f != nullptr ? f->error : err;
                 });
  }

  // The helpers of the basic suite work without a command too; then they are not logged.
  static PF_Err Basic(PF_Err normal = PF_Err_NONE) {
    Scope* s = Scope::Current();
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
    return Unsupported(effect_ref, HostCall::kOtherWorldSuite);
  }
  static PF_Err DisposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld*) {
    return Unsupported(effect_ref, HostCall::kOtherWorldSuite);
  }

  static PF_Err GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
    Scope* s = Scope::Current();
    return Serve(s, HostCall::kGetPixelFormat, 0, PF_Err_BAD_CALLBACK_PARAM,
                 [&](MiniHost&, const Fault* f) -> PF_Err {
                   if (f != nullptr) return f->error;
                   if (world == nullptr || format == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
                   const World* known = WorldOf(*s, world);
                   if (known == nullptr) return PF_Err_BAD_CALLBACK_PARAM;  // not this host's
                   *format = known->pixelFormat();
                   return PF_Err_NONE;
                 });
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
    return Serve(effect_ref, HostCall::kUpdateParamUI, index, [&](MiniHost& h, const Fault* f) {
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
      h.log_.uiUpdates.push_back(
          UpdateParamUIRecord{index, def != nullptr ? *def : PF_ParamDef{}, err});
      return err;
    });
  }

  static PF_Err GetCurrentState(PF_ProgPtr effect_ref, PF_ParamIndex index, const A_Time*,
                                const A_Time*, PF_State*) {
    return Unsupported(effect_ref, HostCall::kOtherParamUtils, index);
  }
  static PF_Err AreStatesIdentical(PF_ProgPtr effect_ref, const PF_State*, const PF_State*,
                                   A_Boolean*) {
    return Unsupported(effect_ref, HostCall::kOtherParamUtils);
  }
  static PF_Err IsIdenticalCheckout(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long, A_long,
                                    A_u_long, A_long, A_long, A_u_long, PF_Boolean*) {
    return Unsupported(effect_ref, HostCall::kOtherParamUtils, index);
  }
  static PF_Err FindKeyframeTime(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long, A_u_long,
                                 PF_TimeDir, PF_Boolean*, PF_KeyIndex*, A_long*, A_u_long*) {
    return Unsupported(effect_ref, HostCall::kOtherParamUtils, index);
  }
  static PF_Err GetKeyframeCount(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_KeyIndex*) {
    return Unsupported(effect_ref, HostCall::kOtherParamUtils, index);
  }
  static PF_Err CheckoutKeyframe(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_KeyIndex, A_long*,
                                 A_u_long*, PF_ParamDef*) {
    return Unsupported(effect_ref, HostCall::kOtherParamUtils, index);
  }
  static PF_Err CheckinKeyframe(PF_ProgPtr effect_ref, PF_ParamDef*) {
    return Unsupported(effect_ref, HostCall::kOtherParamUtils);
  }
  static PF_Err KeyIndexToTime(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_KeyIndex, A_long*,
                               A_u_long*) {
    return Unsupported(effect_ref, HostCall::kOtherParamUtils, index);
  }
};

void MiniHost::InstallSuites() {
  basic_.AcquireSuite = &Suites::AcquireSuite;
  basic_.ReleaseSuite = &Suites::ReleaseSuite;
  basic_.IsEqual = &Suites::IsEqual;
  basic_.AllocateBlock = &Suites::AllocateBlock;
  basic_.FreeBlock = &Suites::FreeBlock;
  basic_.ReallocateBlock = &Suites::ReallocateBlock;
  basic_.Undefined = &Suites::Undefined;
  worldSuite_.PF_NewWorld = &Suites::NewWorld;
  worldSuite_.PF_DisposeWorld = &Suites::DisposeWorld;
  worldSuite_.PF_GetPixelFormat = &Suites::GetPixelFormat;
  paramUtilsSuite_.PF_UpdateParamUI = &Suites::UpdateParamUI;
  paramUtilsSuite_.PF_GetCurrentState = &Suites::GetCurrentState;
  paramUtilsSuite_.PF_AreStatesIdentical = &Suites::AreStatesIdentical;
  paramUtilsSuite_.PF_IsIdenticalCheckout = &Suites::IsIdenticalCheckout;
  paramUtilsSuite_.PF_FindKeyframeTime = &Suites::FindKeyframeTime;
  paramUtilsSuite_.PF_GetKeyframeCount = &Suites::GetKeyframeCount;
  paramUtilsSuite_.PF_CheckoutKeyframe = &Suites::CheckoutKeyframe;
  paramUtilsSuite_.PF_CheckinKeyframe = &Suites::CheckinKeyframe;
  paramUtilsSuite_.PF_KeyIndexToTime = &Suites::KeyIndexToTime;
}

}  // namespace tessaline
