// Spreads a frame's independent rows over the host's render threads through
// the Iterate8 suite's generic iterator; one thread when the host has none.
// Between bands it asks the host whether the user cancelled, and reports
// progress.
#pragma once

#include <functional>
#include <optional>

#include "AEFX_SuiteHandlerTemplate.h"
#include "AE_Effect.h"
#include "AE_EffectSuites.h"

namespace prismora {

class HostThreads {
public:
    HostThreads() = default; // everything on the calling thread, never cancelled
    // Acquires the suite when the host offers it; in_data may be null.
    explicit HostThreads(const PF_InData *in_data);
    HostThreads(const HostThreads &) = delete;
    HostThreads &operator=(const HostThreads &) = delete;

    // Calls work(begin, end) on bands covering [0, count). The bands do not
    // depend on the number of threads. Before each band the first thread asks
    // the host's abort, after it reports progress; once either answers an
    // error, or a band throws (out of memory), the bands not yet started are
    // skipped. Returns that first error, else the host's.
    PF_Err ForEachBand(A_long count, const std::function<void(A_long, A_long)> &work) const;

private:
    std::optional<AEFX_SuiteScoper<PF_Iterate8Suite2, true>> suite_;
    PF_ProgPtr effect_ref_ = nullptr;
    PF_Err (*abort_)(PF_ProgPtr) = nullptr;
    PF_Err (*progress_)(PF_ProgPtr, A_long, A_long) = nullptr;
};

} // namespace prismora
