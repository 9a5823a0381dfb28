// The launchers for machines without a GPU: the plug-in's interface served by
// the emulated device.
#include "gpu/cuda_error_text.h"
#include "gpu/cuda_launchers.h"
#include "gpu/emulation/emulated_device.h"
#include "gpu/emulation/launch_failure_hook.h"

namespace prismora {

namespace {

struct InjectedFailure {
    int countdown = 0;
    cudaError_t code = cudaSuccess;
};

// Per thread, so frames rendered on other threads are never hit.
InjectedFailure &Injected()
{
    thread_local InjectedFailure failure;
    return failure;
}

// True when this call is the one armed to fail; result then holds its code.
bool TakeInjectedFailure(cudaError_t &result)
{
    InjectedFailure &failure = Injected();
    if (failure.countdown <= 0 || --failure.countdown > 0) {
        return false;
    }
    result = RecordCudaError(failure.code);
    return true;
}

} // namespace

void emulated::FailNthLaunch(int nth, cudaError_t code)
{
    Injected() = InjectedFailure{nth > 0 ? nth : 0, code};
}

cudaError_t LaunchBlurHorizontal(const float *source, float *destination, int source_pitch,
                                 int destination_pitch, int width, int height, const float *weights,
                                 int tap_count, bool clamp_edges)
{
    if (cudaError_t injected; TakeInjectedFailure(injected)) {
        return injected;
    }
    return emulated::LaunchBlurHorizontal(source, destination, source_pitch, destination_pitch, width, height,
                                          weights, tap_count, clamp_edges);
}

cudaError_t LaunchBlurVertical(const float *source, float *destination, int source_pitch,
                               int destination_pitch, int width, int height, const float *weights,
                               int tap_count, bool clamp_edges)
{
    if (cudaError_t injected; TakeInjectedFailure(injected)) {
        return injected;
    }
    return emulated::LaunchBlurVertical(source, destination, source_pitch, destination_pitch, width, height,
                                        weights, tap_count, clamp_edges);
}

cudaError_t LaunchGlassComposite(const float *source, const float *half_blur, const float *full_blur,
                                 const float *matte, float *destination, const TPCudaPrismoraParams *params)
{
    if (cudaError_t injected; TakeInjectedFailure(injected)) {
        return injected;
    }
    return emulated::LaunchGlassComposite(source, half_blur, full_blur, matte, destination, params);
}

} // namespace prismora
