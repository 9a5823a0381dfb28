// The launchers' sequence, written once over a device: argument checks,
// allocations, launch order and geometry, frees and the error text. The CUDA
// unit runs it on the CUDA runtime, the emulated device on host memory.
//
// A Device provides:
//   template <typename T> cudaError_t Allocate(T **buffer, size_t count)
//       count elements of T; *buffer stays null on failure
//   cudaError_t Upload(float *device, const float *host, size_t count)
//   template <typename T> void Free(T *buffer)
//   and one call per kernel that launches it over (grid, block) and waits for
//   it, returning the launch error or else the wait's result:
//   BlurPass(horizontal, grid, block, <BlurHorizontalKernel's arguments>),
//   InitMatteDistance, ChamferDistancePass, SmoothDistance and Glass, each with
//   (grid, block, <the kernel's arguments>).
#pragma once

#include <cstddef>
#include <cstdint>

#include <driver_types.h>

#include "gpu/cuda_error_text.h"
#include "gpu/kernels/kernel_support.h"
#include "gpu/prismora_params.h"

namespace prismora::launch {

using kernels::kPixelBlockShape;
using kernels::kSingleThreadShape;
using kernels::PixelGridFor;

// One Gaussian pass: the weights are uploaded for this pass and freed after it.
template <typename Device>
cudaError_t BlurPass(Device &device, bool horizontal, const float *source, float *destination,
                     int source_pitch, int destination_pitch, int width, int height, const float *weights,
                     int tap_count, bool clamp_edges)
{
    if (source == nullptr || destination == nullptr || weights == nullptr || width <= 0 || height <= 0 ||
        tap_count <= 0) {
        return RecordCudaError(cudaErrorInvalidValue);
    }
    const size_t count = static_cast<size_t>(tap_count);
    float *device_weights = nullptr;
    cudaError_t result = device.Allocate(&device_weights, count);
    if (result != cudaSuccess) {
        return RecordCudaError(result);
    }
    result = device.Upload(device_weights, weights, count);
    if (result == cudaSuccess) {
        result = device.BlurPass(horizontal, PixelGridFor(width, height), kPixelBlockShape, source,
                                 destination, source_pitch, destination_pitch, width, height, device_weights,
                                 tap_count, clamp_edges ? 1 : 0);
    }
    device.Free(device_weights);
    return RecordCudaError(result);
}

// Seeding, chamfer transform and smoothing into planes of width x height, each
// finished before the next starts; stops at the first failure.
template <typename Device>
cudaError_t MatteDistancePasses(Device &device, const float *matte, int matte_pitch, int width, int height,
                                unsigned char *mask, float *distance, float *smoothed)
{
    const kernels::LaunchShape grid = PixelGridFor(width, height);
    cudaError_t result =
        device.InitMatteDistance(grid, kPixelBlockShape, matte, mask, distance, matte_pitch, width, height);
    if (result == cudaSuccess) {
        result =
            device.ChamferDistancePass(kSingleThreadShape, kSingleThreadShape, mask, distance, width, height);
    }
    if (result == cudaSuccess) {
        result = device.SmoothDistance(grid, kPixelBlockShape, mask, distance, smoothed, width, height);
    }
    return result;
}

// The matte distance passes when the block asks for them, then the glass kernel.
template <typename Device>
cudaError_t GlassComposite(Device &device, const float *source, const float *half_blur,
                           const float *full_blur, const float *matte, float *destination,
                           const TPCudaPrismoraParams *params)
{
    if (source == nullptr || destination == nullptr || params == nullptr) {
        return RecordCudaError(cudaErrorInvalidValue);
    }
    const TPCudaPrismoraParams block = *params;
    unsigned char *mask = nullptr;
    float *distance = nullptr;
    float *smoothed = nullptr;
    const auto free_planes = [&] {
        if (mask != nullptr) {
            device.Free(mask);
        }
        if (distance != nullptr) {
            device.Free(distance);
        }
        if (smoothed != nullptr) {
            device.Free(smoothed);
        }
    };
    if (block.matte_mode == 1 && block.has_matte != 0 && matte != nullptr && block.matte_width > 0 &&
        block.matte_height > 0) {
        const int w = block.matte_width;
        const int h = block.matte_height;
        const size_t n = static_cast<size_t>(static_cast<int64_t>(w) * static_cast<int64_t>(h));
        cudaError_t result = device.Allocate(&mask, n);
        if (result == cudaSuccess) {
            result = device.Allocate(&distance, n);
        }
        if (result == cudaSuccess) {
            result = device.Allocate(&smoothed, n);
        }
        if (result == cudaSuccess) {
            result = MatteDistancePasses(device, matte, block.matte_pitch, w, h, mask, distance, smoothed);
        }
        if (result != cudaSuccess) {
            free_planes();
            return RecordCudaError(result);
        }
    }
    const cudaError_t result =
        device.Glass(PixelGridFor(block.out_width, block.out_height), kPixelBlockShape, source, half_blur,
                     full_blur, matte, smoothed, destination, block);
    free_planes();
    return RecordCudaError(result);
}

} // namespace prismora::launch
