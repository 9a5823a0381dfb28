// The command line, parsed into one of the tool's commands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/file_checks.h"
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
    int32_t threads = 0; // the host's render threads; 0: one per core
    bool verbose = false;
    // Sequences: INPUT and OUTPUT numbered as in.####.png (cli/frame_pattern.h).
    std::optional<std::vector<int>> frames; // --frames; default: the input's frames on disk
    int32_t jobs = 0;                       // frames in flight; 0: sized to the threads and memory
    bool keep_going = false;
    bool skip_existing = false;
    bool quiet = false;
    uint64_t max_memory = kDefaultMemoryBudget; // bytes one image read may take (--max-memory)
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
