// The effect's parameters as the host keeps them: index 0 is the input layer,
// which the host adds itself; the effect appends the rest at parameter set-up.
// A ParamSet is a plain value: copy it to give one frame its own values.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AE_Effect.h"

namespace prismora::hostsim {

class World;

class ParamSet {
public:
    ParamSet(); // just the input layer at index 0

    A_long size() const { return static_cast<A_long>(entries_.size()); }
    // The record as declared, with its current value; throws HostError for a bad index.
    const PF_ParamDef &def(PF_ParamIndex index) const;
    PF_ParamType type(PF_ParamIndex index) const { return def(index).param_type; }
    std::string name(PF_ParamIndex index) const;
    // Popup choices, in order (value 1 first).
    std::vector<std::string> choices(PF_ParamIndex index) const;
    std::optional<PF_ParamIndex> Find(std::string_view name) const; // exact name

    // Appends a declaration as add_param does; the host keeps its own copy of
    // the texts the record points to.
    void Add(const PF_ParamDef &def);

    // Current values. Each throws HostError when the parameter has another type.
    void SetFloat(PF_ParamIndex index, double value);
    void SetPopup(PF_ParamIndex index, A_long value);           // 1-based
    void SetPoint(PF_ParamIndex index, PF_Fixed x, PF_Fixed y); // layer pixels, 16.16
    void SetColor(PF_ParamIndex index, PF_Pixel value);
    void SetCheckbox(PF_ParamIndex index, bool on);
    // The layer chosen for a layer parameter, or nullptr for none. The world
    // is not copied: it must outlive every render that uses these values.
    void SetLayer(PF_ParamIndex index, const World *layer);
    const World *layer(PF_ParamIndex index) const;

    // The values as the effect sees them on a layer of this size: a point the
    // caller never set sits at its default, a percentage of the layer's size.
    ParamSet ResolvedFor(A_long layer_width, A_long layer_height) const;

    // The record handed to the effect: the declaration with the current value;
    // a layer parameter carries its world, or a zero-filled one for none.
    PF_ParamDef ValueRecord(PF_ParamIndex index) const;

private:
    struct Entry {
        PF_ParamDef def{};
        // Texts the record points to; shared so that copies keep them valid.
        std::shared_ptr<const std::string> text;
        const World *layer = nullptr;
        bool point_set = false;
    };
    Entry &At(PF_ParamIndex index, PF_ParamType expected);

    std::vector<Entry> entries_;
};

} // namespace prismora::hostsim
