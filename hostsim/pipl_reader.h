// Reads the PiPL, the record through which the host learns the effect's kind,
// names, entry point, versions and flag words before it calls the effect.
// Hosts that load the library without Windows resources read it from a file
// beside the library: <dir>/<library stem>.pipl.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "AE_Effect.h"

namespace prismora::hostsim {

struct PiPL {
    std::string kind;        // four-character code as written in the source, e.g. "eFKT"
    std::string name;        // name (shown in the Effects menu)
    std::string category;    // catg
    std::string entry_point; // 8664
    A_short pipl_version_major = 0, pipl_version_minor = 0; // ePVR
    A_short spec_version_major = 0, spec_version_minor = 0; // eSVR
    A_u_long effect_version = 0;                            // eVER
    A_u_long info_flags = 0;                                // eINF (0 when absent)
    PF_OutFlags global_flags = 0;                           // eGLO
    PF_OutFlags2 global_flags2 = 0;                         // eGL2
    std::string match_name;                                 // eMNA
    A_u_long reserved_info = 0;                             // aeFL (0 when absent)
};

// Parses the resource bytes (little-endian; four-character codes stored with
// their bytes reversed). Throws HostError naming what is wrong.
PiPL ParsePiPL(std::span<const uint8_t> bytes);

// <dir>/<stem>.pipl for the library <dir>/<stem>.<ext>.
std::filesystem::path PiPLPathFor(const std::filesystem::path &library);

// Reads and parses a PiPL file; throws HostError when it is missing or bad.
PiPL ReadPiPLFile(const std::filesystem::path &path);

} // namespace prismora::hostsim
