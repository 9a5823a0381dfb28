// Parameter values as the user writes them on the command line, turned into
// the values the host stores.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "AE_Effect.h"
#include "cli/param_catalog.h"

namespace prismora::cli {

// One --set NAME=VALUE, kept as written until the parameters are known.
struct ParamAssignment {
    std::string key;
    std::string value;
};

// Layer pixels to 16.16 fixed point, rounded to nearest; throws UsageError
// when the value does not fit.
PF_Fixed PixelsToFixed(double pixels, std::string_view key);

// The declaration with its current value replaced by the text's value. Throws
// UsageError (one line naming the parameter) for malformed or out-of-range text.
PF_ParamDef ParseParamValue(const ParamDecl &decl, std::string_view text);

// The values a render sends: the centre at the layer centre unless given, then
// each assignment in order (a later one wins). Keyed by parameter index.
std::map<int, PF_ParamDef> ResolveParamValues(const ParamCatalog &catalog,
                                              const std::vector<ParamAssignment> &assignments, int32_t width,
                                              int32_t height);

} // namespace prismora::cli
