#include "cli/param_catalog.h"

#include <cctype>
#include <cstdio>

namespace prismora::cli {

std::string SnakeCase(std::string_view name)
{
    std::string key;
    bool gap = false;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u)) {
            if (gap && !key.empty()) {
                key += '_';
            }
            gap = false;
            key += static_cast<char>(std::tolower(u));
        } else {
            gap = true;
        }
    }
    return key;
}

ParamDecl MakeParamDecl(const hostsim::ParamSet &params, PF_ParamIndex index)
{
    ParamDecl decl;
    decl.index = index;
    decl.def = params.def(index);
    decl.name = params.name(index);
    decl.key = SnakeCase(decl.name);
    decl.choices = params.choices(index);
    // The texts are kept above; the record must not point into the host.
    if (decl.def.param_type == PF_Param_POPUP) {
        decl.def.u.pd.u.namesptr = nullptr;
    } else if (decl.def.param_type == PF_Param_CHECKBOX) {
        decl.def.u.bd.u.nameptr = nullptr;
    }
    return decl;
}

bool IsSettable(const ParamDecl &decl)
{
    switch (decl.def.param_type) {
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_POPUP:
    case PF_Param_POINT:
    case PF_Param_COLOR:
    case PF_Param_CHECKBOX:
        return !decl.key.empty();
    default:
        return false;
    }
}

const ParamDecl *ParamCatalog::find(std::string_view key) const
{
    for (const ParamDecl &decl : decls_) {
        if (decl.key == key && IsSettable(decl)) {
            return &decl;
        }
    }
    return nullptr;
}

std::string ParamCatalog::keys() const
{
    std::string list;
    for (const ParamDecl &decl : decls_) {
        if (IsSettable(decl)) {
            list += list.empty() ? "" : ", ";
            list += decl.key;
        }
    }
    return list;
}

std::string FormatNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

namespace {

std::string Fixed(PF_Fixed value)
{
    return FormatNumber(static_cast<double>(value) / 65536.0);
}

} // namespace

std::string TypeName(const PF_ParamDef &def)
{
    switch (def.param_type) {
    case PF_Param_LAYER:
        return "layer";
    case PF_Param_CHECKBOX:
        return "checkbox";
    case PF_Param_COLOR:
        return "color";
    case PF_Param_POINT:
        return "point";
    case PF_Param_POPUP:
        return "popup";
    case PF_Param_FLOAT_SLIDER:
        return "float slider";
    case PF_Param_GROUP_START:
        return "group start";
    case PF_Param_GROUP_END:
        return "group end";
    default:
        return "type " + std::to_string(def.param_type);
    }
}

std::string DescribeDefault(const ParamDecl &decl)
{
    const PF_ParamDefUnion &u = decl.def.u;
    switch (decl.def.param_type) {
    case PF_Param_FLOAT_SLIDER:
        return FormatNumber(u.fs_d.dephault) +
               ((u.fs_d.display_flags & PF_ValueDisplayFlag_PERCENT) != 0 ? " %" : "");
    case PF_Param_POPUP: {
        const int value = u.pd.dephault;
        const bool named = value >= 1 && value <= static_cast<int>(decl.choices.size());
        return std::to_string(value) + (named ? " (" + decl.choices[value - 1] + ")" : "");
    }
    case PF_Param_POINT:
        return Fixed(u.td.x_dephault) + " %, " + Fixed(u.td.y_dephault) + " % of the layer";
    case PF_Param_COLOR: {
        char text[32];
        std::snprintf(text, sizeof(text), "#%02x%02x%02x", u.cd.dephault.red, u.cd.dephault.green,
                      u.cd.dephault.blue);
        return text;
    }
    case PF_Param_CHECKBOX:
        return u.bd.dephault != 0 ? "on" : "off";
    case PF_Param_LAYER:
        return u.ld.dephault == PF_LayerDefault_NONE ? "none" : "own layer";
    case PF_Param_GROUP_START:
        return (decl.def.flags & PF_ParamFlag_START_COLLAPSED) != 0 ? "collapsed" : "expanded";
    default:
        return "";
    }
}

std::string DescribeRange(const ParamDecl &decl)
{
    const PF_ParamDefUnion &u = decl.def.u;
    switch (decl.def.param_type) {
    case PF_Param_FLOAT_SLIDER:
        return "valid " + FormatNumber(u.fs_d.valid_min) + " to " + FormatNumber(u.fs_d.valid_max) +
               ", slider " + FormatNumber(u.fs_d.slider_min) + " to " + FormatNumber(u.fs_d.slider_max) +
               ", " + std::to_string(u.fs_d.precision) + " decimals";
    case PF_Param_POPUP: {
        std::string list;
        for (size_t i = 0; i < decl.choices.size(); ++i) {
            list += (i == 0 ? "" : ", ") + std::to_string(i + 1) + " " + decl.choices[i];
        }
        return list;
    }
    case PF_Param_POINT:
        return "x,y in layer pixels";
    case PF_Param_COLOR:
        return "r,g,b (0 to 255) or #rrggbb";
    case PF_Param_CHECKBOX:
        return "0/1, on/off, true/false";
    default:
        return "";
    }
}

} // namespace prismora::cli
