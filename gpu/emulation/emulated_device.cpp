// The emulated device: host memory stands in for device memory and every
// launch runs the kernels' per-thread functions over its grid, thread by thread.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "gpu/cuda_error_text.h"
#include "gpu/emulation/emulated_device.h"
#include "gpu/emulation/emulated_grid.h"
#include "gpu/kernels/blur_kernels.h"
#include "gpu/kernels/glass_kernel.h"
#include "gpu/kernels/matte_distance_kernels.h"

namespace prismora::emulated {

namespace {

using namespace kernels;

// An emulated device allocation owned for one launcher call.
template <typename T> class EmulatedBuffer {
public:
    cudaError_t Allocate(size_t count)
    {
        data_.reset(new (std::nothrow) T[count]);
        return data_ != nullptr ? cudaSuccess : cudaErrorMemoryAllocation;
    }
    T *get() const { return data_.get(); }

private:
    std::unique_ptr<T[]> data_;
};

cudaError_t LaunchBlurPass(bool horizontal, const float *source, float *destination, int source_pitch,
                           int destination_pitch, int width, int height, const float *weights, int tap_count,
                           bool clamp_edges)
{
    if (source == nullptr || destination == nullptr || weights == nullptr || width <= 0 || height <= 0 ||
        tap_count <= 0) {
        return RecordCudaError(cudaErrorInvalidValue);
    }
    EmulatedBuffer<float> device_weights;
    const cudaError_t result = device_weights.Allocate(static_cast<size_t>(tap_count));
    if (result != cudaSuccess) {
        return RecordCudaError(result);
    }
    std::memcpy(device_weights.get(), weights, static_cast<size_t>(tap_count) * sizeof(float));
    const int clamp = clamp_edges ? 1 : 0;
    return RecordCudaError(
        RunEmulatedGrid(PixelGridFor(width, height), kPixelBlockShape, [&](const ThreadIndex &t) {
            BlurPassPixel(horizontal, source, destination, source_pitch, destination_pitch, width, height,
                          device_weights.get(), tap_count, clamp, ThreadColumn(t), ThreadRow(t));
        }));
}

} // namespace

cudaError_t RunMatteDistancePasses(const float *matte, int matte_pitch, int width, int height,
                                   unsigned char *mask, float *distance, float *smoothed)
{
    cudaError_t result =
        RunEmulatedGrid(PixelGridFor(width, height), kPixelBlockShape, [&](const ThreadIndex &t) {
            InitMatteDistanceCell(matte, mask, distance, matte_pitch, width, height, ThreadColumn(t),
                                  ThreadRow(t));
        });
    if (result == cudaSuccess) {
        // One thread walks the whole plane.
        result = RunEmulatedGrid(LaunchShape{1, 1}, LaunchShape{1, 1}, [&](const ThreadIndex &t) {
            ChamferDistanceThread(mask, distance, width, height, t);
        });
    }
    if (result == cudaSuccess) {
        result = RunEmulatedGrid(PixelGridFor(width, height), kPixelBlockShape, [&](const ThreadIndex &t) {
            SmoothDistanceCell(mask, distance, smoothed, width, height, ThreadColumn(t), ThreadRow(t));
        });
    }
    return result;
}

cudaError_t LaunchBlurHorizontal(const float *source, float *destination, int source_pitch,
                                 int destination_pitch, int width, int height, const float *weights,
                                 int tap_count, bool clamp_edges)
{
    return LaunchBlurPass(true, source, destination, source_pitch, destination_pitch, width, height, weights,
                          tap_count, clamp_edges);
}

cudaError_t LaunchBlurVertical(const float *source, float *destination, int source_pitch,
                               int destination_pitch, int width, int height, const float *weights,
                               int tap_count, bool clamp_edges)
{
    return LaunchBlurPass(false, source, destination, source_pitch, destination_pitch, width, height, weights,
                          tap_count, clamp_edges);
}

cudaError_t LaunchGlassComposite(const float *source, const float *half_blur, const float *full_blur,
                                 const float *matte, float *destination, const TPCudaPrismoraParams *params)
{
    if (source == nullptr || destination == nullptr || params == nullptr) {
        return RecordCudaError(cudaErrorInvalidValue);
    }
    const TPCudaPrismoraParams block = *params;
    EmulatedBuffer<unsigned char> mask;
    EmulatedBuffer<float> distance;
    EmulatedBuffer<float> smoothed;
    if (block.matte_mode == 1 && block.has_matte != 0 && matte != nullptr && block.matte_width > 0 &&
        block.matte_height > 0) {
        const int w = block.matte_width;
        const int h = block.matte_height;
        const size_t n = static_cast<size_t>(static_cast<int64_t>(w) * static_cast<int64_t>(h));
        cudaError_t result = mask.Allocate(n);
        if (result == cudaSuccess) {
            result = distance.Allocate(n);
        }
        if (result == cudaSuccess) {
            result = smoothed.Allocate(n);
        }
        if (result != cudaSuccess) {
            return RecordCudaError(result);
        }
        result = RunMatteDistancePasses(matte, block.matte_pitch, w, h, mask.get(), distance.get(),
                                        smoothed.get());
        if (result != cudaSuccess) {
            return RecordCudaError(result);
        }
    }
    return RecordCudaError(RunEmulatedGrid(
        PixelGridFor(block.out_width, block.out_height), kPixelBlockShape, [&](const ThreadIndex &t) {
            ShadePrismoraPixel(source, half_blur, full_blur, matte, smoothed.get(), destination, block,
                               ThreadColumn(t), ThreadRow(t));
        }));
}

} // namespace prismora::emulated
