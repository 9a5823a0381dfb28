#include "cli/arguments.h"

#include <cctype>
#include <charconv>

#include "cli/cli_error.h"
#include "cli/file_checks.h"
#include "cli/frame_pattern.h"
#include "cli/utf8_path.h"

namespace prismora::cli {

namespace {

// Walks the arguments; options take their value as the next argument or after '='.
class ArgReader {
public:
    explicit ArgReader(const std::vector<std::string> &args) : args_(args) {}

    bool done() const { return next_ >= args_.size(); }
    const std::string &take() { return args_[next_++]; }

    // For "--name VALUE" or "--name=VALUE": the value, or nullopt when the
    // argument is another option.
    std::optional<std::string> option_value(const std::string &arg, const std::string &name)
    {
        if (arg == name) {
            if (done()) {
                throw UsageError(name + " needs a value");
            }
            return take();
        }
        if (arg.rfind(name + "=", 0) == 0) {
            return arg.substr(name.size() + 1);
        }
        return std::nullopt;
    }

private:
    const std::vector<std::string> &args_;
    size_t next_ = 0;
};

// More would only mean threads waiting for a core.
constexpr int32_t kMaxThreads = 1024;

bool ParsePositive(std::string_view text, int32_t &value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty() && value > 0;
}

int ParseDepth(const std::string &text)
{
    if (text == "8" || text == "16" || text == "32") {
        return std::stoi(text);
    }
    throw UsageError("--depth must be 8, 16 or 32, not \"" + text + "\"");
}

void ParseTile(const std::string &text, RenderCommand &render)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos || !ParsePositive(std::string_view(text).substr(0, x), render.tile_width) ||
        !ParsePositive(std::string_view(text).substr(x + 1), render.tile_height)) {
        throw UsageError("--tile must be WxH with positive sizes, such as 256x256, not \"" + text + "\"");
    }
}

ParamAssignment ParseAssignment(const std::string &text)
{
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        throw UsageError("--set needs NAME=VALUE, not \"" + text + "\"");
    }
    return {text.substr(0, eq), text.substr(eq + 1)};
}

ParamAssignment ParseRenderer(const std::string &text)
{
    std::string lower;
    for (char c : text) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower != "auto" && lower != "gpu" && lower != "cpu") {
        throw UsageError("--renderer must be auto, gpu or cpu, not \"" + text + "\"");
    }
    return {"renderer", lower};
}

RenderCommand ParseRender(ArgReader &reader)
{
    RenderCommand render;
    std::vector<std::string> positional;
    bool options_done = false;
    while (!reader.done()) {
        const std::string &arg = reader.take();
        if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
        } else if (arg == "--legacy") {
            render.legacy = true;
        } else if (arg == "-v" || arg == "--verbose") {
            render.verbose = true;
        } else if (arg == "--keep-going") {
            render.keep_going = true;
        } else if (arg == "--skip-existing") {
            render.skip_existing = true;
        } else if (arg == "-q" || arg == "--quiet") {
            render.quiet = true;
        } else if (auto frames = reader.option_value(arg, "--frames")) {
            render.frames = ParseFrameList(*frames);
        } else if (auto jobs = reader.option_value(arg, "--jobs")) {
            if (!ParsePositive(*jobs, render.jobs) || render.jobs > kMaxThreads) {
                throw UsageError("--jobs must be a whole number from 1 to " + std::to_string(kMaxThreads) +
                                 ", not \"" + *jobs + "\"");
            }
        } else if (auto depth = reader.option_value(arg, "--depth")) {
            render.depth = ParseDepth(*depth);
        } else if (auto set = reader.option_value(arg, "--set")) {
            render.assignments.push_back(ParseAssignment(*set));
        } else if (auto matte = reader.option_value(arg, "--matte")) {
            if (matte->empty()) {
                throw UsageError("--matte needs a file name");
            }
            render.matte = PathFromUtf8(*matte);
        } else if (auto renderer = reader.option_value(arg, "--renderer")) {
            render.assignments.push_back(ParseRenderer(*renderer));
        } else if (auto tile = reader.option_value(arg, "--tile")) {
            ParseTile(*tile, render);
        } else if (auto threads = reader.option_value(arg, "--threads")) {
            if (!ParsePositive(*threads, render.threads) || render.threads > kMaxThreads) {
                throw UsageError("--threads must be a whole number from 1 to " + std::to_string(kMaxThreads) +
                                 ", not \"" + *threads + "\"");
            }
        } else if (auto memory = reader.option_value(arg, "--max-memory")) {
            render.max_memory = ParseMemorySize(*memory);
        } else {
            throw UsageError("render: unknown option " + arg);
        }
    }
    if (positional.size() != 2) {
        throw UsageError("render needs INPUT and OUTPUT (got " + std::to_string(positional.size()) +
                         " file names)");
    }
    if (render.legacy && render.tile_width > 0) {
        // The plain render command always renders the whole frame.
        throw UsageError("--tile applies to smart render only; it cannot be combined with --legacy");
    }
    if (positional[0].empty() || positional[1].empty()) {
        throw UsageError("render: empty file name");
    }
    render.input = PathFromUtf8(positional[0]);
    render.output = PathFromUtf8(positional[1]);
    return render;
}

void ExpectNoMore(ArgReader &reader, const std::string &command)
{
    if (!reader.done()) {
        throw UsageError(command + " takes no arguments, got \"" + reader.take() + "\"");
    }
}

} // namespace

Command ParseArguments(const std::vector<std::string> &args)
{
    ArgReader reader(args);
    if (reader.done()) {
        throw UsageError("missing command: render, params, info or demo (see prismora --help)");
    }
    const std::string command = reader.take();
    if (command == "-h" || command == "--help" || command == "help") {
        return HelpCommand{};
    }
    if (command == "render") {
        return ParseRender(reader);
    }
    if (command == "params") {
        ExpectNoMore(reader, command);
        return ParamsCommand{};
    }
    if (command == "info") {
        ExpectNoMore(reader, command);
        return InfoCommand{};
    }
    if (command == "demo") {
        DemoCommand demo;
        if (!reader.done()) {
            demo.outdir = PathFromUtf8(reader.take());
            if (demo.outdir.empty() || demo.outdir.string()[0] == '-') {
                throw UsageError("demo: unexpected \"" + demo.outdir.string() +
                                 "\", expected an output folder");
            }
        }
        ExpectNoMore(reader, command);
        return demo;
    }
    throw UsageError("unknown command \"" + command + "\": expected render, params, info or demo");
}

const char *UsageText()
{
    return "usage:\n"
           "  prismora render INPUT OUTPUT [--depth 8|16|32] [--set NAME=VALUE]... [--matte FILE]\n"
           "                               [--renderer auto|gpu|cpu] [--legacy] [--tile WxH]\n"
           "                               [--threads N (default: one per core)] [-v]\n"
           "                               [--max-memory SIZE]  (per image read, default 4G)\n"
           "  prismora render IN.####.png OUT.####.png [--frames 1-240|1-240x2|1,5,9-12]\n"
           "                               [--jobs N (frames at once, at most --threads; default: sized\n"
           "                               to the threads and memory)]\n"
           "                               [--keep-going] [--skip-existing] [-q|--quiet] [the options "
           "above]\n"
           "                               # is four padded digits (#### four too), @ one, or %04d;\n"
           "                               without --frames, the frames found on disk; --matte takes\n"
           "                               a sequence (M.####.png) or one still\n"
           "  prismora params              the parameters as declared to the host\n"
           "  prismora info                the effect's identity from its PiPL and its own answers\n"
           "  prismora demo [OUTDIR]       renders the built-in test card (default out/demo)\n"
           "\n"
           "--threads sets the host's render threads (default: one per core); the frame is the same\n"
           "for any count. The plug-in is found beside the build tree (../plugin/T_Prismora.so from this "
           "program)\n"
           "or at $PRISMORA_PLUGIN.\n";
}

} // namespace prismora::cli
