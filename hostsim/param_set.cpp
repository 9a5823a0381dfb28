#include "hostsim/param_set.h"

#include <cmath>
#include <cstring>

#include "hostsim/host_error.h"
#include "hostsim/world.h"

namespace prismora::hostsim {

ParamSet::ParamSet()
{
    Entry input;
    input.def.param_type = PF_Param_LAYER;
    input.def.u.ld.dephault = PF_LayerDefault_MYSELF;
    entries_.push_back(std::move(input));
}

const PF_ParamDef &ParamSet::def(PF_ParamIndex index) const
{
    if (index < 0 || index >= size()) {
        throw HostError("no parameter has index " + std::to_string(index) + " (there are " +
                        std::to_string(size()) + ")");
    }
    return entries_[static_cast<size_t>(index)].def;
}

std::string ParamSet::name(PF_ParamIndex index) const
{
    const PF_ParamDef &d = def(index);
    return {d.PF_DEF_NAME, strnlen(d.PF_DEF_NAME, sizeof(d.PF_DEF_NAME))};
}

std::vector<std::string> ParamSet::choices(PF_ParamIndex index) const
{
    const PF_ParamDef &d = def(index);
    std::vector<std::string> out;
    if (d.param_type != PF_Param_POPUP || !d.u.pd.u.namesptr) {
        return out;
    }
    std::string_view all = d.u.pd.u.namesptr;
    for (size_t bar; (bar = all.find('|')) != std::string_view::npos; all.remove_prefix(bar + 1)) {
        out.emplace_back(all.substr(0, bar));
    }
    out.emplace_back(all);
    return out;
}

std::optional<PF_ParamIndex> ParamSet::Find(std::string_view wanted) const
{
    for (PF_ParamIndex i = 1; i < size(); ++i) {
        if (name(i) == wanted) {
            return i;
        }
    }
    return std::nullopt;
}

void ParamSet::Add(const PF_ParamDef &def)
{
    Entry e;
    e.def = def;
    // The effect's texts may live in its own buffers; the host keeps copies.
    if (def.param_type == PF_Param_POPUP && def.u.pd.u.namesptr) {
        e.text = std::make_shared<const std::string>(def.u.pd.u.namesptr);
        e.def.u.pd.u.namesptr = e.text->c_str();
    } else if (def.param_type == PF_Param_CHECKBOX && def.u.bd.u.nameptr) {
        e.text = std::make_shared<const std::string>(def.u.bd.u.nameptr);
        e.def.u.bd.u.nameptr = e.text->c_str();
    }
    entries_.push_back(std::move(e));
}

ParamSet::Entry &ParamSet::At(PF_ParamIndex index, PF_ParamType expected)
{
    const PF_ParamDef &d = def(index);
    if (d.param_type != expected) {
        throw HostError("parameter " + std::to_string(index) + " (\"" + name(index) + "\") has type " +
                        std::to_string(d.param_type) + ", not " + std::to_string(expected));
    }
    return entries_[static_cast<size_t>(index)];
}

void ParamSet::SetFloat(PF_ParamIndex index, double value)
{
    At(index, PF_Param_FLOAT_SLIDER).def.u.fs_d.value = value;
}

void ParamSet::SetPopup(PF_ParamIndex index, A_long value)
{
    Entry &e = At(index, PF_Param_POPUP);
    if (value < 1 || value > e.def.u.pd.num_choices) {
        throw HostError("popup \"" + name(index) + "\" has no choice " + std::to_string(value));
    }
    e.def.u.pd.value = value;
}

void ParamSet::SetPoint(PF_ParamIndex index, PF_Fixed x, PF_Fixed y)
{
    Entry &e = At(index, PF_Param_POINT);
    e.def.u.td.x_value = x;
    e.def.u.td.y_value = y;
    e.point_set = true;
}

void ParamSet::SetColor(PF_ParamIndex index, PF_Pixel value)
{
    At(index, PF_Param_COLOR).def.u.cd.value = value;
}

void ParamSet::SetCheckbox(PF_ParamIndex index, bool on)
{
    At(index, PF_Param_CHECKBOX).def.u.bd.value = on ? 1 : 0;
}

void ParamSet::SetLayer(PF_ParamIndex index, const World *layer)
{
    At(index, PF_Param_LAYER).layer = layer;
}

const World *ParamSet::layer(PF_ParamIndex index) const
{
    return const_cast<ParamSet *>(this)->At(index, PF_Param_LAYER).layer;
}

ParamSet ParamSet::ResolvedFor(A_long layer_width, A_long layer_height) const
{
    ParamSet out = *this;
    for (Entry &e : out.entries_) {
        if (e.def.param_type == PF_Param_POINT && !e.point_set) {
            // Defaults are percentages of the layer in 16.16; values are pixels in 16.16.
            PF_PointDef &p = e.def.u.td;
            p.x_value =
                static_cast<PF_Fixed>(std::llround(static_cast<double>(p.x_dephault) * layer_width / 100.0));
            p.y_value =
                static_cast<PF_Fixed>(std::llround(static_cast<double>(p.y_dephault) * layer_height / 100.0));
        }
    }
    return out;
}

PF_ParamDef ParamSet::ValueRecord(PF_ParamIndex index) const
{
    def(index); // range check
    const Entry &e = entries_[static_cast<size_t>(index)];
    PF_ParamDef record = e.def;
    if (record.param_type == PF_Param_LAYER) {
        // A chosen layer is its world; none is a zero-filled world without data.
        std::memset(&record.u.ld, 0, sizeof(record.u.ld));
        if (e.layer) {
            record.u.ld = e.layer->pf();
        }
    }
    return record;
}

} // namespace prismora::hostsim
