// The effect's parameters as it declared them to the host, under the names the
// command line uses for them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AE_Effect.h"
#include "hostsim/param_set.h"

namespace prismora::cli {

struct ParamDecl {
    int index = 0;
    std::string name;                 // as declared, "Glass Width"
    std::string key;                  // lower snake case, "glass_width"
    PF_ParamDef def{};                // the declaration; its string pointers are not kept
    std::vector<std::string> choices; // popup entries, value 1 first
};

// "Glass Width" -> "glass_width"; runs of other characters become one '_'.
std::string SnakeCase(std::string_view name);

// The entry for the host's parameter `index`, with the host's copies of its texts.
ParamDecl MakeParamDecl(const hostsim::ParamSet &params, PF_ParamIndex index);

// Whether --set can change the parameter (groups and layers cannot).
bool IsSettable(const ParamDecl &decl);

class ParamCatalog {
public:
    ParamCatalog() = default;
    explicit ParamCatalog(std::vector<ParamDecl> decls) : decls_(std::move(decls)) {}

    const std::vector<ParamDecl> &all() const { return decls_; }
    // The settable parameter of that key, or null.
    const ParamDecl *find(std::string_view key) const;
    // The settable keys in declaration order, for error messages.
    std::string keys() const;

private:
    std::vector<ParamDecl> decls_;
};

// A number as the user types it: "%g", no trailing zeros.
std::string FormatNumber(double value);

// A one-line description of the parameter's type, default and range or
// choices, as `prismora params` lists it.
std::string TypeName(const PF_ParamDef &def);
std::string DescribeDefault(const ParamDecl &decl);
std::string DescribeRange(const ParamDecl &decl);

} // namespace prismora::cli
