#pragma once
// The common part of every function the effect calls: finding the host (by
// effect_ref, or by the command running on the thread), and counting, logging
// and faulting the call under the host's lock.
#include <type_traits>

#include "minihost/CommandScope.h"
#include "minihost/MiniHost.h"

namespace tessaline {

struct MiniHost::Serving {
  // The running command's scope when effect_ref is its host's; a wrong
  // reference is counted and logged, and the callback fails.
  static Scope* ScopeOf(PF_ProgPtr effect_ref, HostCall call) {
    Scope* s = Scope::Current();
    if (s == nullptr || effect_ref == s->host->EffectRef()) return s;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    ++h.log_.badEffectRefs;
    ++h.log_.counts[std::size_t(call)];
    h.log_.Add(call, 0, PF_Err_BAD_CALLBACK_PARAM);
    return nullptr;
  }

  // The common part of every call: without a scope answers `noScope`;
  // otherwise, under the host's lock, counts the call with its argument (a
  // number, or a function of the host giving it), lets `serve(host, fault)`
  // answer it and logs the answer.
  template <typename Arg, typename ServeFn>
  static PF_Err Serve(Scope* s, HostCall call, Arg arg, PF_Err noScope, ServeFn&& serve) {
    if (s == nullptr) return noScope;
    MiniHost& h = *s->host;
    std::lock_guard lock(h.mutex_);
    std::int32_t a = 0;
    if constexpr (std::is_invocable_v<Arg&, MiniHost&>) {
      a = arg(h);
    } else {
      a = arg;
    }
    const PF_Err err = serve(h, h.Arrive(call, a));
    h.log_.Add(call, a, err);
    return err;
  }
  template <typename Arg, typename ServeFn>
  static PF_Err Serve(PF_ProgPtr effect_ref, HostCall call, Arg arg, ServeFn&& serve) {
    return Serve(ScopeOf(effect_ref, call), call, arg, PF_Err_BAD_CALLBACK_PARAM, serve);
  }

  // A call that does nothing but answer `normal` (or a fault's error).
  static PF_Err Plain(Scope* s, HostCall call, std::int32_t arg, PF_Err normal) {
    return Serve(s, call, arg, normal == PF_Err_NONE ? PF_Err_BAD_CALLBACK_PARAM : normal,
                 [normal](MiniHost&, const Fault* f) { return f != nullptr ? f->error : normal; });
  }
  static PF_Err Plain(PF_ProgPtr effect_ref, HostCall call, std::int32_t arg, PF_Err normal) {
    return Plain(ScopeOf(effect_ref, call), call, arg, normal);
  }
  static PF_Err Unsupported(PF_ProgPtr effect_ref, HostCall call, std::int32_t arg = 0) {
    return Plain(effect_ref, call, arg, PF_Err_INVALID_CALLBACK);
  }
};

}  // namespace tessaline
