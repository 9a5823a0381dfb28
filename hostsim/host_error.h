// The one exception type of the simulated host: a broken contract between host
// and plug-in (bad PiPL, missing entry point, mismatched flags, misuse of the
// host's own API). Errors the effect returns are PF_Err codes, never this.
#pragma once

#include <stdexcept>
#include <string>

namespace prismora::hostsim {

class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string &what) : std::runtime_error(what) {}
};

} // namespace prismora::hostsim
