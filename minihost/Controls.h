#pragma once
// The parameter records the host keeps: one control a registered parameter,
// with its current-value record, name, choices or label and UI flags; and the
// rules by which the host fills and copies the value member of each type.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/HostSdk.h"
#include "minihost/CallLog.h"

namespace tessaline {

struct Control {
  PF_ParamDef value{};
  std::string name;
  std::string text;  // popup choices, or the checkbox's or button's label
  PF_ParamUIFlags uiFlags = 0;
};

// The string a definition points at (popup choices, checkbox or button
// label), or null for the other types.
const char* TextOf(const PF_ParamDef& def);

// The input layer's control (index 0) for a layer world.
std::unique_ptr<Control> LayerControl(const PF_EffectWorld& layer);
// The control of a successful add: the definition as passed, its text held by
// the host, its value set from the default and no change flags.
std::unique_ptr<Control> RegisteredControl(const AddParamRecord& added);

// Copies the value member of the record's type from `written` into `kept`.
void TakeOverValue(PF_ParamDef& kept, const PF_ParamDef& written);

// Popup choices split at "|"; a checkbox's label as one entry; else empty.
std::vector<std::string> ChoicesOf(const Control& control);
// Values by type: popups, sliders, checkboxes / float sliders (and the
// integer types) / colors packed as PackPixel; 0 for any other type.
std::int32_t IntValueOf(const PF_ParamDef& def);
double FloatValueOf(const PF_ParamDef& def);
std::uint32_t ColorValueOf(const PF_ParamDef& def);

}  // namespace tessaline
