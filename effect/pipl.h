// The effect's PiPL resource, the record through which the host discovers the
// effect before loading it: kind, names, entry point, versions, flag words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace prismora {

inline constexpr int kPiPLResourceId = 16000;
inline constexpr int kPiPLResourceLanguage = 1033; // LANG_ENGLISH, SUBLANG_ENGLISH_US

// The resource's bytes exactly as the host reads them (little-endian).
std::vector<uint8_t> BuildPiPL();

// A Windows resource script that embeds the given bytes as resource 16000 of
// type "PIPL" in US English.
std::string PiPLResourceScript(const std::vector<uint8_t> &pipl);

} // namespace prismora
