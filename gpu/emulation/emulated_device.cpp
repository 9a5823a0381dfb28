// The emulated device: host memory stands in for device memory and every
// launch runs the kernels' per-thread functions over its grid, thread by thread.
#include <cstddef>
#include <cstring>
#include <new>

#include "gpu/emulation/emulated_device.h"
#include "gpu/emulation/emulated_grid.h"
#include "gpu/kernels/blur_kernels.h"
#include "gpu/kernels/glass_kernel.h"
#include "gpu/kernels/matte_distance_kernels.h"
#include "gpu/launch_sequence.h"

namespace prismora::emulated {

namespace {

using namespace kernels;

// The launch sequence's device: host memory, and every launch runs the
// kernel's per-thread function over its grid (a launch is finished when it
// returns, so there is nothing to wait for).
struct EmulatedDevice {
    template <typename T> cudaError_t Allocate(T **buffer, size_t count)
    {
        *buffer = new (std::nothrow) T[count];
        return *buffer != nullptr ? cudaSuccess : cudaErrorMemoryAllocation;
    }
    cudaError_t Upload(float *device, const float *host, size_t count)
    {
        std::memcpy(device, host, count * sizeof(float));
        return cudaSuccess;
    }
    template <typename T> void Free(T *buffer) { delete[] buffer; }

    cudaError_t BlurPass(bool horizontal, LaunchShape grid, LaunchShape block, const float *source,
                         float *destination, int source_pitch, int destination_pitch, int width, int height,
                         const float *weights, int tap_count, int clamp_edges)
    {
        return RunEmulatedGrid(grid, block, [&](const ThreadIndex &t) {
            BlurPassPixel(horizontal, source, destination, source_pitch, destination_pitch, width, height,
                          weights, tap_count, clamp_edges, ThreadColumn(t), ThreadRow(t));
        });
    }
    cudaError_t InitMatteDistance(LaunchShape grid, LaunchShape block, const float *matte,
                                  unsigned char *mask, float *distance, int matte_pitch, int width,
                                  int height)
    {
        return RunEmulatedGrid(grid, block, [&](const ThreadIndex &t) {
            InitMatteDistanceCell(matte, mask, distance, matte_pitch, width, height, ThreadColumn(t),
                                  ThreadRow(t));
        });
    }
    cudaError_t ChamferDistancePass(LaunchShape grid, LaunchShape block, const unsigned char *mask,
                                    float *distance, int width, int height)
    {
        return RunEmulatedGrid(grid, block, [&](const ThreadIndex &t) {
            ChamferDistanceThread(mask, distance, width, height, t);
        });
    }
    cudaError_t SmoothDistance(LaunchShape grid, LaunchShape block, const unsigned char *mask,
                               const float *distance, float *smoothed, int width, int height)
    {
        return RunEmulatedGrid(grid, block, [&](const ThreadIndex &t) {
            SmoothDistanceCell(mask, distance, smoothed, width, height, ThreadColumn(t), ThreadRow(t));
        });
    }
    cudaError_t Glass(LaunchShape grid, LaunchShape block, const float *source, const float *half_blur,
                      const float *full_blur, const float *matte, const float *distance, float *destination,
                      const TPCudaPrismoraParams &params)
    {
        return RunEmulatedGrid(grid, block, [&](const ThreadIndex &t) {
            ShadePrismoraPixel(source, half_blur, full_blur, matte, distance, destination, params,
                               ThreadColumn(t), ThreadRow(t));
        });
    }
};

} // namespace

cudaError_t RunMatteDistancePasses(const float *matte, int matte_pitch, int width, int height,
                                   unsigned char *mask, float *distance, float *smoothed)
{
    EmulatedDevice device;
    return launch::MatteDistancePasses(device, matte, matte_pitch, width, height, mask, distance, smoothed);
}

cudaError_t LaunchBlurHorizontal(const float *source, float *destination, int source_pitch,
                                 int destination_pitch, int width, int height, const float *weights,
                                 int tap_count, bool clamp_edges)
{
    EmulatedDevice device;
    return launch::BlurPass(device, true, source, destination, source_pitch, destination_pitch, width, height,
                            weights, tap_count, clamp_edges);
}

cudaError_t LaunchBlurVertical(const float *source, float *destination, int source_pitch,
                               int destination_pitch, int width, int height, const float *weights,
                               int tap_count, bool clamp_edges)
{
    EmulatedDevice device;
    return launch::BlurPass(device, false, source, destination, source_pitch, destination_pitch, width,
                            height, weights, tap_count, clamp_edges);
}

cudaError_t LaunchGlassComposite(const float *source, const float *half_blur, const float *full_blur,
                                 const float *matte, float *destination, const TPCudaPrismoraParams *params)
{
    EmulatedDevice device;
    return launch::GlassComposite(device, source, half_blur, full_blur, matte, destination, params);
}

} // namespace prismora::emulated
