#pragma once
// What the in-process host saw of an effect: every call in order with its
// result, the records of the calls that pass definitions, the balances of
// what was checked out, acquired and handed over, and what the last commands
// left. One value, so that it is cleared by assigning a fresh one and read as
// a snapshot.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/HostSdk.h"
#include "minihost/FaultPlan.h"
#include "minihost/World.h"

namespace tessaline {

struct CallRecord {
  HostCall call;
  std::int32_t arg;  // see HostCall
  PF_Err result;
};

struct AddParamRecord {
  PF_ParamIndex index = 0;  // as passed; -1 appends
  PF_ParamDef def{};        // as passed; its string pointers are the effect's
  std::string name;         // the name field up to its terminator (at most 32 bytes)
  std::string text;         // popup choices, or the checkbox's label
  PF_Err result = PF_Err_NONE;
};

struct ParamCheckoutRecord {
  PF_ParamIndex index;
  A_long what_time;
  A_long time_step;
  A_u_long time_scale;
  PF_Err result;
};

struct LayerCheckoutRecord {
  PF_ParamIndex index;
  A_long checkout_id;
  PF_RenderRequest request;  // zero when none was passed
  A_long what_time;
  A_long time_step;
  A_u_long time_scale;
  PF_Err result;
};

struct UpdateParamUIRecord {
  PF_ParamIndex index;
  PF_ParamDef def;  // zero when none was passed
  PF_Err result;
};

// A guard check after a command that found a change.
struct GuardFailure {
  PF_Cmd cmd;
  bool output;  // the output world, else the input layer
  GuardReport report;
};

struct CallLog {
  using PerSuite = tessaline::PerSuite<std::int64_t>;

  std::vector<CallRecord> calls;
  std::array<std::int64_t, std::size_t(HostCall::kCount)> counts{};
  std::vector<AddParamRecord> adds;
  std::vector<ParamCheckoutRecord> paramCheckouts;
  std::vector<LayerCheckoutRecord> layerCheckouts;
  std::vector<UpdateParamUIRecord> uiUpdates;
  // Parameter records checked out and not checked in, with their index.
  std::vector<std::pair<const PF_ParamDef*, PF_ParamIndex>> checkedOut;
  std::int64_t checkoutsSucceeded = 0;
  std::int64_t checkins = 0;
  PerSuite acquires{};  // those that delivered the suite
  PerSuite releases{};
  PerSuite held{};
  std::int64_t unmatchedReleases = 0;
  std::int64_t badEffectRefs = 0;
  std::int64_t preRenderKept = 0;
  std::int64_t preRenderDeleted = 0;
  std::vector<GuardFailure> guardFailures;
  // The out_data of the last command, and the last pre-render's output record.
  PF_OutData lastOut{};
  PF_PreRenderOutput lastPreRender{};
  // Of the last change command: values taken over, and unflagged writes undone.
  std::vector<PF_ParamIndex> takenOver;
  std::vector<PF_ParamIndex> ignoredWrites;

  void Add(HostCall call, std::int32_t arg, PF_Err result) {
    calls.push_back(CallRecord{call, arg, result});
  }
  std::int64_t Count(HostCall call) const {
    return std::size_t(call) < counts.size() ? counts[std::size_t(call)] : 0;
  }
  std::vector<std::int32_t> ArgsOf(HostCall call) const;  // in call order
  // Successful checkout_param calls minus checkin_param calls.
  std::int64_t CheckoutBalance() const { return checkoutsSucceeded - checkins; }
  // Suites delivered and not released, plus releases without an acquire.
  std::int64_t SuiteImbalance() const;
  // The return_msg of the last command's out_data (About's text).
  std::string AboutText() const;
};

}  // namespace tessaline
