#include "tools/ControlEdits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "tools/PreviewError.h"
#include "tools/TextMatch.h"

namespace tessaline {
namespace {

std::optional<double> ParseNumber(std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::int32_t> ParseWhole(std::string_view text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// #RRGGBB or #RRGGBBAA as the host's color word (alpha in the low byte).
std::optional<std::uint32_t> ParseColor(std::string_view text) {
  if (!text.starts_with('#') || (text.size() != 7 && text.size() != 9)) return std::nullopt;
  std::uint8_t bytes[4] = {0, 0, 0, 0xFF};  // red, green, blue, alpha
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    const char* first = text.data() + 1 + i;
    const auto [ptr, ec] = std::from_chars(first, first + 2, bytes[i / 2], 16);
    if (ec != std::errc() || ptr != first + 2) return std::nullopt;
  }
  return std::uint32_t(bytes[3]) | std::uint32_t(bytes[0]) << 8 | std::uint32_t(bytes[1]) << 16 |
         std::uint32_t(bytes[2]) << 24;
}

template <typename T>
T Limit(T value, T low, T high) {
  return value < low ? low : (value > high ? high : value);
}

// The shortest text that reads back as the same float.
std::string NumberText(float value) {
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : std::string();
}

// The warning for a typed number outside low .. high, limited to the end it passed.
std::string Clamped(const std::string& label, std::string_view typed, const std::string& low,
                    const std::string& high, bool below) {
  return "\"" + label + "\": " + std::string(typed) + " is outside the range " + low + " to " +
         high + "; clamped to " + (below ? low : high);
}

[[noreturn]] void BadValue(const std::string& label, std::string_view value, const char* wanted) {
  throw PreviewError("\"" + label + "\": '" + std::string(value) + "' is not " + wanted);
}

std::string ColorText(std::uint32_t word) {
  char text[10];
  const unsigned alpha = word & 0xFFu;
  if (alpha == 0xFFu) {
    std::snprintf(text, sizeof text, "#%02X%02X%02X", (word >> 8) & 0xFFu, (word >> 16) & 0xFFu,
                  word >> 24);
  } else {
    std::snprintf(text, sizeof text, "#%02X%02X%02X%02X", (word >> 8) & 0xFFu, (word >> 16) & 0xFFu,
                  word >> 24, alpha);
  }
  return text;
}

}  // namespace

PF_ParamIndex FindControlByLabel(MiniHost& host, std::string_view label) {
  PF_ParamIndex found = host.FindParam(label);
  for (PF_ParamIndex i = 1; found < 0 && i < host.ParamCount(); ++i) {
    if (EqualNoCase(host.ParamName(i), label)) found = i;
  }
  if (found < 0) {
    std::string known;
    for (PF_ParamIndex i = 1; i < host.ParamCount(); ++i) {
      const PF_ParamType type = host.Param(i)->param_type;
      if (type == PF_Param_GROUP_START || type == PF_Param_GROUP_END) continue;
      known += (known.empty() ? "" : ", ") + host.ParamName(i);
    }
    throw PreviewError("unknown control \"" + std::string(label) + "\" (controls: " + known + ")");
  }
  const PF_ParamType type = host.Param(found)->param_type;
  if (type == PF_Param_GROUP_START || type == PF_Param_GROUP_END) {
    throw PreviewError("\"" + host.ParamName(found) + "\" is a group, not a control");
  }
  return found;
}

std::string SetControl(MiniHost& host, PF_ParamIndex index, std::string_view value) {
  const PF_ParamDef& def = *host.Param(index);
  const std::string label = host.ParamName(index);
  std::string warning;
  PF_Err err = PF_Err_NONE;
  switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER: {
      const auto number = ParseNumber(value);
      if (!number) BadValue(label, value, "a number");
      const double low = def.u.fs_d.valid_min, high = def.u.fs_d.valid_max;
      if (*number < low || *number > high) {
        warning = Clamped(label, value, NumberText(def.u.fs_d.valid_min),
                          NumberText(def.u.fs_d.valid_max), *number < low);
      }
      err = host.SetValue(index, Limit(*number, low, high));
      break;
    }
    case PF_Param_SLIDER: {
      const auto number = ParseWhole(value);
      if (!number) BadValue(label, value, "a whole number");
      const std::int32_t low = def.u.sd.valid_min, high = def.u.sd.valid_max;
      if (*number < low || *number > high) {
        warning = Clamped(label, value, std::to_string(low), std::to_string(high), *number < low);
      }
      err = host.SetValue(index, Limit(*number, low, high));
      break;
    }
    case PF_Param_CHECKBOX: {
      std::int32_t on = 0;
      if (EqualNoCase(value, "on")) {
        on = 1;
      } else if (!EqualNoCase(value, "off")) {
        BadValue(label, value, "on or off");
      }
      err = host.SetValue(index, on);
      break;
    }
    case PF_Param_POPUP: {
      const std::vector<std::string> choices = host.Choices(index);
      std::int32_t choice = 0;
      for (std::size_t i = 0; choice == 0 && i < choices.size(); ++i) {
        if (choices[i] == value) choice = std::int32_t(i) + 1;
      }
      if (const auto number = ParseWhole(value); choice == 0 && number) {
        if (*number >= 1 && *number <= std::int32_t(choices.size())) choice = *number;
      }
      for (std::size_t i = 0; choice == 0 && i < choices.size(); ++i) {
        if (EqualNoCase(choices[i], value)) choice = std::int32_t(i) + 1;
      }
      if (choice == 0) {
        std::string list;
        for (const std::string& c : choices) list += (list.empty() ? "" : ", ") + c;
        throw PreviewError("\"" + label + "\": '" + std::string(value) +
                           "' is no choice; use a label or 1 to " + std::to_string(choices.size()) +
                           " (" + list + ")");
      }
      err = host.SetValue(index, choice);
      break;
    }
    case PF_Param_COLOR: {
      const auto color = ParseColor(value);
      if (!color) BadValue(label, value, "a color #RRGGBB or #RRGGBBAA");
      err = host.SetValue(index, *color);
      break;
    }
    default:
      throw PreviewError("\"" + label + "\" cannot be set");
  }
  if (err != PF_Err_NONE) {
    throw PreviewError("the effect answered error " + std::to_string(err) + " to the change of \"" +
                       label + "\"");
  }
  return warning;
}

std::string ControlValueText(MiniHost& host, PF_ParamIndex index) {
  const PF_ParamDef& def = *host.Param(index);
  switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER: {
      char text[64];
      std::snprintf(text, sizeof text, "%.*f", int(def.u.fs_d.precision), def.u.fs_d.value);
      return text;
    }
    case PF_Param_SLIDER:
      return std::to_string(def.u.sd.value);
    case PF_Param_CHECKBOX:
      return def.u.bd.value != 0 ? "on" : "off";
    case PF_Param_POPUP: {
      const std::vector<std::string> choices = host.Choices(index);
      const std::int32_t value = def.u.pd.value;
      if (value >= 1 && value <= std::int32_t(choices.size())) return choices[value - 1];
      return std::to_string(value);
    }
    case PF_Param_COLOR:
      return ColorText(std::uint32_t(host.Value(index)));
    default:
      return {};
  }
}

std::string ListControls(MiniHost& host) {
  // Width of the label column: the longest label at its indentation.
  std::size_t column = 0;
  int depth = 0;
  for (PF_ParamIndex i = 1; i < host.ParamCount(); ++i) {
    const PF_ParamType type = host.Param(i)->param_type;
    if (type == PF_Param_GROUP_END) {
      --depth;
      continue;
    }
    column = std::max(column, 2 * std::size_t(std::max(depth, 0)) + host.ParamName(i).size());
    if (type == PF_Param_GROUP_START) ++depth;
  }
  std::string out;
  depth = 0;
  for (PF_ParamIndex i = 1; i < host.ParamCount(); ++i) {
    const PF_ParamType type = host.Param(i)->param_type;
    if (type == PF_Param_GROUP_END) {
      depth = std::max(depth - 1, 0);
      continue;
    }
    std::string line(2 * std::size_t(depth), ' ');
    line += host.ParamName(i);
    if (type == PF_Param_GROUP_START) {
      ++depth;
    } else {
      line.resize(column + 2, ' ');
      line += ControlValueText(host, i);
      if (host.IsDisabled(i)) line += "  (greyed out)";
    }
    out += line + "\n";
  }
  return out;
}

}  // namespace tessaline
