// Spreads a frame's independent rows over the host's render threads through
// the Iterate8 suite's generic iterator; one thread when the host has none.
#pragma once

#include <functional>
#include <optional>

#include "AEFX_SuiteHandlerTemplate.h"
#include "AE_Effect.h"
#include "AE_EffectSuites.h"

namespace prismora {

class HostThreads {
public:
    HostThreads() = default; // everything on the calling thread
    // Acquires the suite when the host offers it; in_data may be null.
    explicit HostThreads(const PF_InData *in_data);
    HostThreads(const HostThreads &) = delete;
    HostThreads &operator=(const HostThreads &) = delete;

    // Calls work(begin, end) on bands covering [0, count). The bands do not
    // depend on the number of threads. Returns the first error: the host's, or
    // out of memory when a band threw (the other bands still run).
    PF_Err ForEachBand(A_long count, const std::function<void(A_long, A_long)> &work) const;

private:
    std::optional<AEFX_SuiteScoper<PF_Iterate8Suite2, true>> suite_;
};

} // namespace prismora
