#include "minihost/Controls.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <type_traits>

#include "host/PackedPixel.h"

namespace tessaline {

namespace {

// The value field of a parameter type and the default it starts from.
template <PF_ParamType Type, auto Member, auto Value, auto Default>
struct ValueField {
  static constexpr PF_ParamType type = Type;
  static auto& value(PF_ParamDefUnion& u) { return u.*Member.*Value; }
  static const auto& value(const PF_ParamDefUnion& u) { return u.*Member.*Value; }
  static const auto& dephault(const PF_ParamDefUnion& u) { return u.*Member.*Default; }
};

using U = PF_ParamDefUnion;
using ValueFields = std::tuple<
    ValueField<PF_Param_POPUP, &U::pd, &PF_PopupDef::value, &PF_PopupDef::dephault>,
    ValueField<PF_Param_SLIDER, &U::sd, &PF_SliderDef::value, &PF_SliderDef::dephault>,
    ValueField<PF_Param_FLOAT_SLIDER, &U::fs_d, &PF_FloatSliderDef::value,
               &PF_FloatSliderDef::dephault>,
    ValueField<PF_Param_CHECKBOX, &U::bd, &PF_CheckBoxDef::value, &PF_CheckBoxDef::dephault>,
    ValueField<PF_Param_COLOR, &U::cd, &PF_ColorDef::value, &PF_ColorDef::dephault>>;

// Calls visit(field) with the ValueField of the type; false for a type
// without a value.
template <typename Visit>
bool VisitValueField(PF_ParamType type, Visit&& visit) {
  return std::apply(
      [&](auto... field) { return ((field.type == type && (visit(field), true)) || ...); },
      ValueFields{});
}

double Number(A_long v) {
  return double(v);
}
double Number(PF_FpLong v) {
  return v;
}
double Number(const PF_Pixel& p) {
  return double(PackPixel(p));
}

// A whole number within [low, high], as an integer type.
template <typename Int>
bool Whole(double number, double low, double high, Int& out) {
  if (!(number >= low && number <= high) || std::trunc(number) != number) return false;
  out = Int(number);
  return true;
}
bool FromNumber(double number, A_long& out) {
  return Whole(number, std::numeric_limits<A_long>::min(), std::numeric_limits<A_long>::max(), out);
}
bool FromNumber(double number, PF_FpLong& out) {
  out = number;
  return true;
}
bool FromNumber(double number, PF_Pixel& out) {
  std::uint32_t packed = 0;
  if (!Whole(number, 0.0, double(std::numeric_limits<std::uint32_t>::max()), packed)) return false;
  out = UnpackPixel(packed);
  return true;
}

// The definition's text field (popup choices, checkbox label), or null.
template <typename Def>  // PF_ParamDef, const or not
auto TextField(Def& def)
    -> std::conditional_t<std::is_const_v<Def>, const A_char* const*, const A_char**> {
  switch (def.param_type) {
    case PF_Param_POPUP:
      return &def.u.pd.u.namesptr;
    case PF_Param_CHECKBOX:
      return &def.u.bd.u.nameptr;
    default:
      return nullptr;
  }
}

}  // namespace

const char* TextOf(const PF_ParamDef& def) {
  const A_char* const* field = TextField(def);
  return field != nullptr ? *field : nullptr;
}

std::unique_ptr<Control> LayerControl(const PF_EffectWorld& layer) {
  auto c = std::make_unique<Control>();
  c->value.param_type = PF_Param_LAYER;
  c->value.u.ld = layer;
  return c;
}

std::unique_ptr<Control> RegisteredControl(const AddParamRecord& added) {
  auto c = std::make_unique<Control>();
  c->name = added.name;
  c->text = added.text;
  c->value = added.def;
  c->value.uu.change_flags = PF_ChangeFlag_NONE;
  c->uiFlags = added.def.ui_flags;
  // Points the definition's string at the host's own copy.
  if (const A_char** text = TextField(c->value); text != nullptr && *text != nullptr) {
    *text = c->text.c_str();
  }
  PF_ParamDefUnion& u = c->value.u;
  VisitValueField(c->value.param_type, [&u](auto f) { f.value(u) = f.dephault(u); });
  return c;
}

void TakeOverValue(PF_ParamDef& kept, const PF_ParamDef& written) {
  VisitValueField(kept.param_type, [&](auto f) { f.value(kept.u) = f.value(written.u); });
}

std::vector<std::string> ChoicesOf(const Control& c) {
  std::vector<std::string> out;
  if (c.value.param_type == PF_Param_CHECKBOX) {
    out.push_back(c.text);
  } else if (c.value.param_type == PF_Param_POPUP) {
    std::size_t start = 0;
    for (std::size_t bar; (bar = c.text.find('|', start)) != std::string::npos; start = bar + 1) {
      out.push_back(c.text.substr(start, bar - start));
    }
    out.push_back(c.text.substr(start));
  }
  return out;
}

double ValueOf(const PF_ParamDef& def) {
  double number = 0.0;
  VisitValueField(def.param_type, [&](auto f) { number = Number(f.value(def.u)); });
  return number;
}

PF_Err WriteValue(PF_ParamDef& def, double value) {
  bool held = false;
  const bool typed = VisitValueField(def.param_type, [&](auto f) {
    auto written = f.value(def.u);
    held = FromNumber(value, written);
    if (held) f.value(def.u) = written;
  });
  if (!typed) return PF_Err_UNRECOGNIZED_PARAM_TYPE;
  return held ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace tessaline
