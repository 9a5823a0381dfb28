#include "cli/param_values.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "cli/cli_error.h"

namespace prismora::cli {

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool ParseDouble(std::string_view text, double &value)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty() && std::isfinite(value);
}

bool ParseInt(std::string_view text, long &value)
{
    text = Trim(text);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::vector<std::string_view> SplitCommas(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t comma = text.find(',');
        parts.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(comma + 1);
    }
}

// Choice text compared without case, with '_' and '-' standing for spaces, so
// "full_frame" and "Full Frame" both name the same entry.
std::string ChoiceKey(std::string_view text)
{
    std::string key;
    for (char c : Trim(text)) {
        key += (c == '_' || c == '-') ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

[[noreturn]] void Refuse(const ParamDecl &decl, const std::string &why)
{
    throw UsageError("--set " + decl.key + ": " + why);
}

std::string Quoted(std::string_view text)
{
    // Appended in place: GCC 12 warns falsely (-Wrestrict) on "..." + std::string.
    std::string out = "\"";
    out.append(text);
    out += '"';
    return out;
}

void SetSlider(const ParamDecl &decl, std::string_view text, PF_ParamDef &def)
{
    double value = 0.0;
    if (!ParseDouble(text, value)) {
        Refuse(decl, Quoted(text) + " is not a number");
    }
    const PF_FloatSliderDef &fs = decl.def.u.fs_d;
    if (value < fs.valid_min || value > fs.valid_max) {
        Refuse(decl, FormatNumber(value) + " is outside " + FormatNumber(fs.valid_min) + " to " +
                         FormatNumber(fs.valid_max));
    }
    def.u.fs_d.value = value;
}

void SetPopup(const ParamDecl &decl, std::string_view text, PF_ParamDef &def)
{
    const long count = static_cast<long>(decl.choices.size());
    long number = 0;
    if (ParseInt(text, number)) {
        if (number < 1 || number > count) {
            Refuse(decl, std::to_string(number) + " is outside 1 to " + std::to_string(count));
        }
        def.u.pd.value = static_cast<PF_ParamValue>(number);
        return;
    }
    for (long i = 0; i < count; ++i) {
        if (ChoiceKey(decl.choices[i]) == ChoiceKey(text)) {
            def.u.pd.value = static_cast<PF_ParamValue>(i + 1);
            return;
        }
    }
    std::string list;
    for (long i = 0; i < count; ++i) {
        list += (i == 0 ? "" : ", ") + decl.choices[i];
    }
    Refuse(decl, Quoted(text) + " is not one of " + list + " (or 1 to " + std::to_string(count) + ")");
}

void SetPoint(const ParamDecl &decl, std::string_view text, PF_ParamDef &def)
{
    const std::vector<std::string_view> parts = SplitCommas(text);
    double x = 0.0;
    double y = 0.0;
    if (parts.size() != 2 || !ParseDouble(parts[0], x) || !ParseDouble(parts[1], y)) {
        Refuse(decl, "expected x,y in layer pixels, got " + Quoted(text));
    }
    def.u.td.x_value = PixelsToFixed(x, decl.key);
    def.u.td.y_value = PixelsToFixed(y, decl.key);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

void SetColor(const ParamDecl &decl, std::string_view text, PF_ParamDef &def)
{
    int rgb[3] = {0, 0, 0};
    const std::string_view trimmed = Trim(text);
    bool ok = true;
    if (!trimmed.empty() && trimmed.front() == '#') {
        ok = trimmed.size() == 7;
        for (int i = 0; ok && i < 3; ++i) {
            const int hi = HexDigit(trimmed[1 + 2 * i]);
            const int lo = HexDigit(trimmed[2 + 2 * i]);
            ok = hi >= 0 && lo >= 0;
            rgb[i] = hi * 16 + lo;
        }
    } else {
        const std::vector<std::string_view> parts = SplitCommas(text);
        ok = parts.size() == 3;
        for (int i = 0; ok && i < 3; ++i) {
            long channel = 0;
            ok = ParseInt(parts[i], channel) && channel >= 0 && channel <= 255;
            rgb[i] = static_cast<int>(channel);
        }
    }
    if (!ok) {
        Refuse(decl, "expected r,g,b (0 to 255) or #rrggbb, got " + Quoted(text));
    }
    def.u.cd.value.red = static_cast<A_u_char>(rgb[0]);
    def.u.cd.value.green = static_cast<A_u_char>(rgb[1]);
    def.u.cd.value.blue = static_cast<A_u_char>(rgb[2]);
}

void SetCheckbox(const ParamDecl &decl, std::string_view text, PF_ParamDef &def)
{
    const std::string key = ChoiceKey(text);
    if (key == "1" || key == "on" || key == "true") {
        def.u.bd.value = 1;
    } else if (key == "0" || key == "off" || key == "false") {
        def.u.bd.value = 0;
    } else {
        Refuse(decl, "expected 0, 1, on, off, true or false, got " + Quoted(text));
    }
}

} // namespace

PF_Fixed PixelsToFixed(double pixels, std::string_view key)
{
    const double fixed = std::round(pixels * 65536.0);
    if (!(fixed >= std::numeric_limits<PF_Fixed>::min() && fixed <= std::numeric_limits<PF_Fixed>::max())) {
        throw UsageError("--set " + std::string(key) + ": " + FormatNumber(pixels) +
                         " pixels is too far out");
    }
    return static_cast<PF_Fixed>(fixed);
}

PF_ParamDef ParseParamValue(const ParamDecl &decl, std::string_view text)
{
    PF_ParamDef def = decl.def;
    switch (decl.def.param_type) {
    case PF_Param_FLOAT_SLIDER:
        SetSlider(decl, text, def);
        break;
    case PF_Param_POPUP:
        SetPopup(decl, text, def);
        break;
    case PF_Param_POINT:
        SetPoint(decl, text, def);
        break;
    case PF_Param_COLOR:
        SetColor(decl, text, def);
        break;
    case PF_Param_CHECKBOX:
        SetCheckbox(decl, text, def);
        break;
    default:
        Refuse(decl, "this parameter cannot be set");
    }
    return def;
}

std::map<int, PF_ParamDef> ResolveParamValues(const ParamCatalog &catalog,
                                              const std::vector<ParamAssignment> &assignments, int32_t width,
                                              int32_t height)
{
    std::map<int, PF_ParamDef> values;
    for (const ParamDecl &decl : catalog.all()) {
        if (decl.def.param_type == PF_Param_POINT && IsSettable(decl)) {
            PF_ParamDef def = decl.def;
            def.u.td.x_value = PixelsToFixed(width * 0.5, decl.key);
            def.u.td.y_value = PixelsToFixed(height * 0.5, decl.key);
            values[decl.index] = def;
        }
    }
    for (const ParamAssignment &assignment : assignments) {
        const ParamDecl *decl = catalog.find(assignment.key);
        if (decl == nullptr) {
            throw UsageError("unknown parameter \"" + assignment.key + "\" (known: " + catalog.keys() + ")");
        }
        values[decl->index] = ParseParamValue(*decl, assignment.value);
    }
    return values;
}

} // namespace prismora::cli
