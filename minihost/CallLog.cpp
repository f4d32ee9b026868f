#include "minihost/CallLog.h"

#include <cstring>

namespace tessaline {

std::vector<std::int32_t> CallLog::ArgsOf(HostCall call) const {
  std::vector<std::int32_t> args;
  for (const CallRecord& r : calls) {
    if (r.call == call) args.push_back(r.arg);
  }
  return args;
}

std::int64_t CallLog::SuiteImbalance() const {
  std::int64_t n = unmatchedReleases;
  for (const std::int64_t h : held.of) n += h;
  return n;
}

std::string CallLog::AboutText() const {
  return std::string(lastOut.return_msg, strnlen(lastOut.return_msg, sizeof lastOut.return_msg));
}

}  // namespace tessaline
