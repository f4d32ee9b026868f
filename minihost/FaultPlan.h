#pragma once
// The kinds of call that pass between the in-process host and an effect, and
// the faults the host can inject into them: each fault is armed for the N-th
// call of one kind (optionally only of one argument, such as a parameter index
// or a suite), and makes that call fail or deliver nothing.
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

#include "host/HostSdk.h"

namespace tessaline {

// Every callback and suite function the host serves, plus the host's own calls
// into the effect. The argument logged with each kind is given beside it.
enum class HostCall : std::int32_t {
  kCommand,              // the host calling the entry point; the selector
  kAddParam,             // inter.add_param; the index passed (-1 appends)
  kCheckoutParam,        // inter.checkout_param; the parameter index
  kCheckinParam,         // inter.checkin_param; index of the checked-out record, -1 unknown
  kAbort,                // inter.abort; 0
  kProgress,             // inter.progress; the current count
  kOtherInteract,        // register_ui and the audio callbacks; 0
  kCheckoutLayer,        // pre-render checkout_layer; the layer index
  kGuidMixIn,            // pre-render GuidMixInPtr; 0
  kCheckoutLayerPixels,  // smart-render checkout_layer_pixels; the checkout id
  kCheckinLayerPixels,   // smart-render checkin_layer_pixels; the checkout id
  kCheckoutOutput,       // smart-render checkout_output; 0
  kAcquireSuite,         // basic suite AcquireSuite; the HostSuite, -1 unknown
  kReleaseSuite,         // basic suite ReleaseSuite; the HostSuite, -1 unknown
  kOtherBasic,           // IsEqual, the block functions, Undefined; 0
  kGetPixelFormat,       // "PF World Suite" 2 PF_GetPixelFormat; 0
  kOtherWorldSuite,      // PF_NewWorld, PF_DisposeWorld; 0
  kUpdateParamUI,        // "PF Param Utils Suite" 3 PF_UpdateParamUI; the index
  kOtherParamUtils,      // the other members of that suite; the index
  kDeletePreRenderData,  // the host calling the effect's delete function; 0
  kCount
};

inline constexpr std::string_view kHostCallNames[] = {"command",
                                                      "add_param",
                                                      "checkout_param",
                                                      "checkin_param",
                                                      "abort",
                                                      "progress",
                                                      "other interact",
                                                      "checkout_layer",
                                                      "GuidMixInPtr",
                                                      "checkout_layer_pixels",
                                                      "checkin_layer_pixels",
                                                      "checkout_output",
                                                      "AcquireSuite",
                                                      "ReleaseSuite",
                                                      "other basic suite",
                                                      "PF_GetPixelFormat",
                                                      "other world suite",
                                                      "PF_UpdateParamUI",
                                                      "other param utils",
                                                      "delete pre-render data"};

static_assert(std::size(kHostCallNames) == std::size_t(HostCall::kCount));

constexpr std::string_view HostCallName(HostCall call) {
  return std::size_t(call) < std::size(kHostCallNames) ? kHostCallNames[std::size_t(call)] : "?";
}

// The suites the host serves, beside the basic suite.
enum class HostSuite : std::int32_t { kWorld = 0, kParamUtils = 1, kCount = 2 };

// A value for each suite the host serves, indexed by HostSuite.
template <typename T>
struct PerSuite {
  std::array<T, std::size_t(HostSuite::kCount)> of{};
  T& operator[](HostSuite s) { return of[std::size_t(s)]; }
  const T& operator[](HostSuite s) const { return of[std::size_t(s)]; }
};

// The argument logged for a suite name or version the host does not serve.
inline constexpr std::int32_t kUnknownSuite = -1;

enum class FaultEffect : std::int32_t {
  kFail,        // the call returns the fault's error and delivers nothing
  kNullResult,  // a world check-out or suite acquire succeeds but delivers null
  kNoData,      // a world check-out succeeds with a world whose data is null
};

// Matches calls of every argument.
inline constexpr std::int32_t kAnyArg = INT32_MIN;

struct Fault {
  HostCall call = HostCall::kCheckoutParam;
  std::int32_t nth = 1;  // 1-based, among the calls that match
  FaultEffect effect = FaultEffect::kFail;
  PF_Err error = PF_Err_INTERNAL_STRUCT_DAMAGED;
  std::int32_t arg = kAnyArg;  // only calls with this argument match
  bool repeat = false;         // every matching call from the N-th on
};

// The armed faults of one host. kNullResult and kNoData apply to the calls
// that deliver a world or a suite; for any other call they act as kFail.
class FaultPlan {
 public:
  void Add(const Fault& fault) { armed_.push_back(Armed{fault, 0}); }
  void Clear() {
    armed_.clear();
    fired_ = 0;
  }
  bool empty() const { return armed_.empty(); }
  // Faults that have hit a call so far.
  std::int64_t fired() const { return fired_; }

  // Counts one call against every armed fault; returns the first that hits it.
  const Fault* Hit(HostCall call, std::int32_t arg) {
    const Fault* hit = nullptr;
    for (Armed& a : armed_) {
      if (a.fault.call != call || (a.fault.arg != kAnyArg && a.fault.arg != arg)) continue;
      ++a.seen;
      const bool fires = a.fault.repeat ? a.seen >= a.fault.nth : a.seen == a.fault.nth;
      if (fires && hit == nullptr) hit = &a.fault;
    }
    if (hit != nullptr) ++fired_;
    return hit;
  }

 private:
  struct Armed {
    Fault fault;
    std::int32_t seen;
  };
  std::vector<Armed> armed_;
  std::int64_t fired_ = 0;
};

}  // namespace tessaline
