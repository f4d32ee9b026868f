#pragma once
// The parameter records the host keeps: one control a registered parameter,
// with its current-value record, name, choices or label and UI flags; and the
// rules by which the host fills, copies, reads and writes the value of each
// type the effect registers (popup, slider, float slider, checkbox, color;
// groups have no value).
#include <memory>
#include <string>
#include <vector>

#include "host/HostSdk.h"
#include "minihost/CallLog.h"

namespace tessaline {

struct Control {
  PF_ParamDef value{};
  std::string name;
  std::string text;  // popup choices, or the checkbox's label
  PF_ParamUIFlags uiFlags = 0;
};

// The string a definition points at (popup choices, checkbox label), or null
// for the other types.
const char* TextOf(const PF_ParamDef& def);

// The input layer's control (index 0) for a layer world.
std::unique_ptr<Control> LayerControl(const PF_EffectWorld& layer);
// The control of a successful add: the definition as passed, its text held by
// the host, its value set from the default and no change flags.
std::unique_ptr<Control> RegisteredControl(const AddParamRecord& added);

// Copies the value of the record's type from `written` into `kept`.
void TakeOverValue(PF_ParamDef& kept, const PF_ParamDef& written);

// Popup choices split at "|"; a checkbox's label as one entry; else empty.
std::vector<std::string> ChoicesOf(const Control& control);

// The value as a number: a popup's 1-based choice, a slider's or checkbox's
// integer, a float slider's value, a color packed as PackPixel; 0 for a type
// without a value.
double ValueOf(const PF_ParamDef& def);
// Writes a number read that way into the record: PF_Err_UNRECOGNIZED_PARAM_TYPE
// for a type without a value, PF_Err_BAD_CALLBACK_PARAM for a number its
// field cannot hold exactly (nothing written then).
PF_Err WriteValue(PF_ParamDef& def, double value);

}  // namespace tessaline
