#include "cpu/host_threads.h"

#include <atomic>

namespace prismora {
namespace {

// Enough bands to keep every thread busy; few enough that each is worth a call.
constexpr A_long kBands = 64;

struct BandJob {
    const std::function<void(A_long, A_long)> *work;
    A_long count;
    A_long band_size;
    std::atomic<PF_Err> first_error{PF_Err_NONE};
};

PF_Err RunBand(void *refcon, A_long /*thread_index*/, A_long i, A_long /*iterations*/)
{
    auto &job = *static_cast<BandJob *>(refcon);
    const A_long begin = i * job.band_size;
    const A_long end = begin + job.band_size < job.count ? begin + job.band_size : job.count;
    try {
        (*job.work)(begin, end);
        return PF_Err_NONE;
    } catch (...) {
        // Nothing may escape into the host; the effect reports the first failure itself.
        PF_Err expected = PF_Err_NONE;
        job.first_error.compare_exchange_strong(expected, PF_Err_OUT_OF_MEMORY);
        return PF_Err_OUT_OF_MEMORY;
    }
}

} // namespace

HostThreads::HostThreads(const PF_InData *in_data)
{
    if (in_data != nullptr && in_data->pica_basicP != nullptr) {
        suite_.emplace(in_data, kPFIterate8Suite, kPFIterate8SuiteVersion2);
    }
}

PF_Err HostThreads::ForEachBand(A_long count, const std::function<void(A_long, A_long)> &work) const
{
    if (count <= 0) {
        return PF_Err_NONE;
    }
    BandJob job{&work, count, (count + kBands - 1) / kBands};
    const A_long bands = (count + job.band_size - 1) / job.band_size;
    PF_Err err = PF_Err_NONE;
    if (suite_ && suite_->get() != nullptr && suite_->get()->iterate_generic != nullptr) {
        err = suite_->get()->iterate_generic(bands, &job, RunBand);
    } else {
        for (A_long i = 0; i < bands; ++i) {
            RunBand(&job, 0, i, bands);
        }
    }
    const PF_Err own = job.first_error.load();
    return own != PF_Err_NONE ? own : err;
}

} // namespace prismora
