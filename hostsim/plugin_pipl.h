// The PiPL of a plug-in library, found where its host platform keeps it: the
// library's own PIPL resource 16000 on Windows (as After Effects reads it,
// without running the library's code), the file <dir>/<stem>.pipl elsewhere.
#pragma once

#include <filesystem>

#include "hostsim/pipl_reader.h"

namespace prismora::hostsim {

// Throws HostError when the PiPL is missing or malformed.
PiPL ReadPluginPiPL(const std::filesystem::path &library);

} // namespace prismora::hostsim
