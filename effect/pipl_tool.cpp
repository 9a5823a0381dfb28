// Build step: writes the PiPL resource as a binary file (read by hosts that load
// the library without Windows resources) and as a Windows resource script
// (compiled into the .aex).
//
//   prismora_pipl_tool <T_Prismora.pipl> <T_Prismora_PiPL.rc>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "effect/pipl.h"

namespace {

bool WriteFile(const char *path, const void *data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char *>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "prismora_pipl_tool: cannot write %s\n", path);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: prismora_pipl_tool <pipl file> <resource script>\n");
        return 2;
    }
    const std::vector<uint8_t> pipl = prismora::BuildPiPL();
    const std::string script = prismora::PiPLResourceScript(pipl);
    if (!WriteFile(argv[1], pipl.data(), pipl.size()) || !WriteFile(argv[2], script.data(), script.size())) {
        return 1;
    }
    return 0;
}
