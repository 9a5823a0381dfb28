// Where the command finds the plug-in library it drives.
#pragma once

#include <filesystem>

namespace prismora::cli {

// $PRISMORA_PLUGIN when set, else ../plugin/T_Prismora.<ext> from the folder of
// the running program (its place in the build tree). Throws UsageError when
// the file is not there.
std::filesystem::path FindPlugin();

} // namespace prismora::cli
