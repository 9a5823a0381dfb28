#include "cli/plugin_location.h"

#include <cstdlib>
#include <system_error>

#include "cli/cli_error.h"
#include "cli/running_program.h"

namespace prismora::cli {

namespace {

#ifdef _WIN32
constexpr const char *kPluginFile = "T_Prismora.aex";
#else
constexpr const char *kPluginFile = "T_Prismora.so";
#endif

// $PRISMORA_PLUGIN in the platform's own characters (UTF-16 on Windows, where
// the narrow copy loses whatever lies outside the system code page).
const std::filesystem::path::value_type *PluginVariable()
{
#ifdef _WIN32
    return _wgetenv(L"PRISMORA_PLUGIN");
#else
    return std::getenv("PRISMORA_PLUGIN");
#endif
}

} // namespace

std::filesystem::path FindPlugin()
{
    std::error_code ec;
    if (const auto *env = PluginVariable(); env != nullptr && *env != 0) {
        const std::filesystem::path path(env);
        if (!std::filesystem::is_regular_file(path, ec)) {
            throw UsageError("PRISMORA_PLUGIN names " + path.string() + ", which is not a file");
        }
        return path;
    }
    const std::filesystem::path exe = RunningProgramPath(ec);
    const std::filesystem::path path = (exe.parent_path() / ".." / "plugin" / kPluginFile).lexically_normal();
    if (ec || !std::filesystem::is_regular_file(path, ec)) {
        throw UsageError("cannot find the plug-in at " + path.string() +
                         " (build it, or set PRISMORA_PLUGIN)");
    }
    return path;
}

} // namespace prismora::cli
