#pragma once
// The context of one call of the entry point: which host, which command, and
// the worlds and checkout ids of the frame it belongs to. The host marks the
// scope (thread-locally) around the call, so that callbacks that receive no
// effect_ref still find their host.
#include <deque>
#include <vector>

#include "minihost/MiniHost.h"

namespace tessaline {

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

  // The scope of the command running on this thread, or null.
  static Scope*& Current() {
    thread_local Scope* current = nullptr;
    return current;
  }

  // Makes a scope the current one for its lifetime.
  struct Mark {
    explicit Mark(Scope& scope) : previous(Current()) { Current() = &scope; }
    ~Mark() { Current() = previous; }
    Mark(const Mark&) = delete;
    Mark& operator=(const Mark&) = delete;
    Scope* previous;
  };
};

}  // namespace tessaline
