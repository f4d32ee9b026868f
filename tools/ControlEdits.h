#pragma once
// The user's side of the effect controls panel: setting a control by its
// label as a person would type it, and listing the controls as the panel
// shows them. Labels, types, choices and ranges come from the definitions
// the effect registered with the host.
#include <string>
#include <string_view>

#include "minihost/MiniHost.h"

namespace tessaline {

// The control with this label (exact, else ignoring case). Throws
// PreviewError for an unknown label or a group.
PF_ParamIndex FindControlByLabel(MiniHost& host, std::string_view label);

// Sets the control to the typed value through the host, so a supervised
// control sends its parameter-change command. Values: a number for sliders
// (limited to the control's valid range, as the host does with a typed
// value; whole for integer sliders), on or off for checkboxes, a choice's
// label or 1-based number for popups, #RRGGBB or #RRGGBBAA for colors.
// Returns a warning when the number was limited ("\"Opacity\": -5 is outside
// the range 0 to 100; clamped to 0"), else an empty text. Throws PreviewError
// for a value that does not parse or an error of the effect.
std::string SetControl(MiniHost& host, PF_ParamIndex index, std::string_view value);

// One line per control in panel order, "Label  value", group contents
// indented under the group's name, greyed-out controls marked.
std::string ListControls(MiniHost& host);

// A control's value as the panel shows it.
std::string ControlValueText(MiniHost& host, PF_ParamIndex index);

}  // namespace tessaline
