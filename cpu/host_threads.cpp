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
    A_long bands;
    PF_ProgPtr effect_ref;
    PF_Err (*abort)(PF_ProgPtr);
    PF_Err (*progress)(PF_ProgPtr, A_long, A_long);
    std::atomic<A_long> done{0};
    std::atomic<PF_Err> first_error{PF_Err_NONE};

    PF_Err Keep(PF_Err err)
    {
        PF_Err expected = PF_Err_NONE;
        first_error.compare_exchange_strong(expected, err);
        return err;
    }
};

PF_Err RunBand(void *refcon, A_long thread_index, A_long i, A_long /*iterations*/)
{
    auto &job = *static_cast<BandJob *>(refcon);
    // Only the first thread may call the host; the others see what it learnt.
    const bool asks_host = thread_index == 0;
    if (job.first_error.load() != PF_Err_NONE) {
        return PF_Err_NONE; // the frame has failed or was cancelled: nothing left is wanted
    }
    if (asks_host && job.abort != nullptr) {
        if (const PF_Err err = job.abort(job.effect_ref); err != PF_Err_NONE) {
            return job.Keep(err);
        }
    }
    const A_long begin = i * job.band_size;
    const A_long end = begin + job.band_size < job.count ? begin + job.band_size : job.count;
    try {
        (*job.work)(begin, end);
    } catch (...) {
        // Nothing may escape into the host; the effect reports the first failure itself.
        return job.Keep(PF_Err_OUT_OF_MEMORY);
    }
    const A_long done = ++job.done;
    if (asks_host && job.progress != nullptr) {
        if (const PF_Err err = job.progress(job.effect_ref, done, job.bands); err != PF_Err_NONE) {
            return job.Keep(err);
        }
    }
    return PF_Err_NONE;
}

} // namespace

HostThreads::HostThreads(const PF_InData *in_data)
{
    if (in_data == nullptr) {
        return;
    }
    effect_ref_ = in_data->effect_ref;
    abort_ = in_data->inter.abort;
    progress_ = in_data->inter.progress;
    if (in_data->pica_basicP != nullptr) {
        suite_.emplace(in_data, kPFIterate8Suite, kPFIterate8SuiteVersion2);
    }
}

PF_Err HostThreads::ForEachBand(A_long count, const std::function<void(A_long, A_long)> &work) const
{
    if (count <= 0) {
        return PF_Err_NONE;
    }
    const A_long band_size = (count + kBands - 1) / kBands;
    BandJob job{&work, count, band_size, (count + band_size - 1) / band_size, effect_ref_, abort_, progress_};
    PF_Err err = PF_Err_NONE;
    if (suite_ && suite_->get() != nullptr && suite_->get()->iterate_generic != nullptr) {
        err = suite_->get()->iterate_generic(job.bands, &job, RunBand);
    } else {
        for (A_long i = 0; i < job.bands && job.first_error.load() == PF_Err_NONE; ++i) {
            RunBand(&job, 0, i, job.bands);
        }
    }
    const PF_Err own = job.first_error.load();
    return own != PF_Err_NONE ? own : err;
}

} // namespace prismora
