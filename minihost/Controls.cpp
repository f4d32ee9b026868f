#include "minihost/Controls.h"

#include "host/PackedPixel.h"

namespace tessaline {

namespace {

// Calls visit(member, value, dephault) with pointers to the union member of
// the type and to each of its value fields with the field's default.
template <typename Visit>
void VisitValueFields(PF_ParamType type, Visit&& visit) {
  switch (type) {
    case PF_Param_POPUP:
      visit(&PF_ParamDefUnion::pd, &PF_PopupDef::value, &PF_PopupDef::dephault);
      break;
    case PF_Param_SLIDER:
      visit(&PF_ParamDefUnion::sd, &PF_SliderDef::value, &PF_SliderDef::dephault);
      break;
    case PF_Param_FIX_SLIDER:
      visit(&PF_ParamDefUnion::fd, &PF_FixedSliderDef::value, &PF_FixedSliderDef::dephault);
      break;
    case PF_Param_FLOAT_SLIDER:
      visit(&PF_ParamDefUnion::fs_d, &PF_FloatSliderDef::value, &PF_FloatSliderDef::dephault);
      break;
    case PF_Param_ANGLE:
      visit(&PF_ParamDefUnion::ad, &PF_AngleDef::value, &PF_AngleDef::dephault);
      break;
    case PF_Param_CHECKBOX:
      visit(&PF_ParamDefUnion::bd, &PF_CheckBoxDef::value, &PF_CheckBoxDef::dephault);
      break;
    case PF_Param_COLOR:
      visit(&PF_ParamDefUnion::cd, &PF_ColorDef::value, &PF_ColorDef::dephault);
      break;
    case PF_Param_POINT:
      visit(&PF_ParamDefUnion::td, &PF_PointDef::x_value, &PF_PointDef::x_dephault);
      visit(&PF_ParamDefUnion::td, &PF_PointDef::y_value, &PF_PointDef::y_dephault);
      break;
    default:
      break;
  }
}

// Points the definition's string at the host's own copy.
void RepointText(PF_ParamDef& def, const std::string& text) {
  if (TextOf(def) == nullptr) return;
  switch (def.param_type) {
    case PF_Param_POPUP:
      def.u.pd.u.namesptr = text.c_str();
      break;
    case PF_Param_CHECKBOX:
      def.u.bd.u.nameptr = text.c_str();
      break;
    default:
      def.u.button_d.u.namesptr = text.c_str();
      break;
  }
}

}  // namespace

const char* TextOf(const PF_ParamDef& def) {
  switch (def.param_type) {
    case PF_Param_POPUP:
      return def.u.pd.u.namesptr;
    case PF_Param_CHECKBOX:
      return def.u.bd.u.nameptr;
    case PF_Param_BUTTON:
      return def.u.button_d.u.namesptr;
    default:
      return nullptr;
  }
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
  RepointText(c->value, c->text);
  PF_ParamDefUnion& u = c->value.u;
  VisitValueFields(c->value.param_type, [&u](auto member, auto value, auto dephault) {
    (u.*member).*value = (u.*member).*dephault;
  });
  return c;
}

void TakeOverValue(PF_ParamDef& kept, const PF_ParamDef& written) {
  VisitValueFields(kept.param_type, [&](auto member, auto value, auto) {
    (kept.u.*member).*value = (written.u.*member).*value;
  });
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

std::int32_t IntValueOf(const PF_ParamDef& d) {
  switch (d.param_type) {
    case PF_Param_POPUP:
      return d.u.pd.value;
    case PF_Param_SLIDER:
      return d.u.sd.value;
    case PF_Param_CHECKBOX:
      return d.u.bd.value;
    default:
      return 0;
  }
}

double FloatValueOf(const PF_ParamDef& d) {
  return d.param_type == PF_Param_FLOAT_SLIDER ? d.u.fs_d.value : double(IntValueOf(d));
}

std::uint32_t ColorValueOf(const PF_ParamDef& d) {
  return d.param_type == PF_Param_COLOR ? PackPixel(d.u.cd.value) : 0;
}

}  // namespace tessaline
