#pragma once
// Control values read from a table of 27 host parameter records, indexed by
// ParamIndex: the host's params array of the legacy render command, or the
// records that smart pre-render checks out. Each value is read from the union
// member of the control's own type.
#include "core/ControlValues.h"
#include "host/HostSdk.h"
#include "host/PackedPixel.h"

namespace tessaline {

class ParamControlValues final : public ControlValues {
 public:
  explicit ParamControlValues(const PF_ParamDef* const* params) : params_(params) {}

  std::int32_t Integer(ParamIndex index) const override;
  double Double(ParamIndex index) const override;
  PackedColor Color(ParamIndex index) const override;

 private:
  const PF_ParamDef* const* params_;
};

}  // namespace tessaline
