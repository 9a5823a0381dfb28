// The command line, parsed into one of the tool's commands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/param_values.h"

namespace prismora::cli {

struct HelpCommand {};

struct RenderCommand {
    std::filesystem::path input;
    std::filesystem::path output;
    int depth = 0;                            // 0: the input file's depth
    std::vector<ParamAssignment> assignments; // --set and --renderer, in order
    std::optional<std::filesystem::path> matte;
    bool legacy = false;
    int32_t tile_width = 0; // 0: the whole frame at once
    int32_t tile_height = 0;
    bool verbose = false;
    uint64_t max_memory = 0; // bytes one image read may take; 0: the default
};

struct ParamsCommand {};
struct InfoCommand {};

struct DemoCommand {
    std::filesystem::path outdir = "out/demo";
};

using Command = std::variant<HelpCommand, RenderCommand, ParamsCommand, InfoCommand, DemoCommand>;

// args excludes the program name. Throws UsageError with one line on any
// mistake; nothing is checked against files or the effect yet.
Command ParseArguments(const std::vector<std::string> &args);

// The synopsis printed by `prismora --help`.
const char *UsageText();

} // namespace prismora::cli
