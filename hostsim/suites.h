// The suites the host hands out through its basic suite. The table maps a
// suite's name and version to its function table; AcquireSuite fails for
// everything else. GPU frames add "PF GPU Device Suite" version 1 here.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "SP/SPBasic.h"

namespace prismora::hostsim {

// What AcquireSuite returns for a suite the host does not have.
inline constexpr SPErr kSuiteNotFound = 13; // A_Err_MISSING_SUITE

class SuiteTable {
public:
    SuiteTable(); // "PF World Suite" and "PF Iterate8 Suite", both version 2

    void Register(std::string name, int32 version, const void *suite);
    const void *Find(std::string_view name, int32 version) const; // nullptr when absent

private:
    std::map<std::pair<std::string, int32>, const void *, std::less<>> suites_;
};

// The basic suite given to the effect in PF_InData::pica_basicP. Its functions
// book against the command running on the calling thread.
SPBasicSuite *BasicSuite();

} // namespace prismora::hostsim
