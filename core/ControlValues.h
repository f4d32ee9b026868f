#pragma once
// Read-only access to the current value of each control, by ParamIndex.
// Each lookup yields the value in the control's own form; the host adapter
// supplies an implementation over the host's parameter records.
#include <cstdint>

#include "core/GridColor.h"
#include "core/ParamIndex.h"

namespace tessaline {

class ControlValues {
 public:
  // Popups (1-based), checkboxes (0 = off) and integer sliders.
  virtual std::int32_t Integer(ParamIndex index) const = 0;
  // Float sliders.
  virtual double Double(ParamIndex index) const = 0;
  // Color controls.
  virtual PackedColor Color(ParamIndex index) const = 0;

 protected:
  ~ControlValues() = default;
};

}  // namespace tessaline
