// Build step: writes the fake effect's PiPL file beside its library.
#include "pipl_writer.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        return 2;
    }
    prismora::hostsim::test::PiPLBytes(prismora::hostsim::test::PiPLFields{}).WriteTo(argv[1]);
    return 0;
}
