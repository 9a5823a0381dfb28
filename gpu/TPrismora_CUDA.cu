// The effect's device code: the six kernels and their host-side launchers.
// The kernels are thin shells around the per-thread functions in gpu/kernels/,
// which the emulated device runs on the CPU as well.
#include <cstddef>
#include <cstdint>

#include <cuda_runtime.h>

#include "gpu/cuda_launchers.h"
#include "gpu/kernels/blur_kernels.h"
#include "gpu/kernels/glass_kernel.h"
#include "gpu/kernels/matte_distance_kernels.h"
#include "gpu/launch_sequence.h"

namespace {

using namespace prismora::kernels;
using prismora::TPCudaPrismoraParams;

__device__ ThreadIndex CurrentThread()
{
    return {blockIdx.x, blockIdx.y, blockDim.x, blockDim.y, threadIdx.x, threadIdx.y};
}

__global__ void BlurHorizontalKernel(const float *source, float *destination, int source_pitch,
                                     int destination_pitch, int width, int height, const float *weights,
                                     int tap_count, int clamp_edges)
{
    const ThreadIndex t = CurrentThread();
    BlurPassPixel(true, source, destination, source_pitch, destination_pitch, width, height, weights,
                  tap_count, clamp_edges, ThreadColumn(t), ThreadRow(t));
}

__global__ void BlurVerticalKernel(const float *source, float *destination, int source_pitch,
                                   int destination_pitch, int width, int height, const float *weights,
                                   int tap_count, int clamp_edges)
{
    const ThreadIndex t = CurrentThread();
    BlurPassPixel(false, source, destination, source_pitch, destination_pitch, width, height, weights,
                  tap_count, clamp_edges, ThreadColumn(t), ThreadRow(t));
}

__global__ void InitMatteDistanceKernel(const float *matte, unsigned char *mask, float *distance,
                                        int matte_pitch, int width, int height)
{
    const ThreadIndex t = CurrentThread();
    InitMatteDistanceCell(matte, mask, distance, matte_pitch, width, height, ThreadColumn(t), ThreadRow(t));
}

__global__ void ChamferDistancePassKernel(const unsigned char *mask, float *distance, int width, int height)
{
    ChamferDistanceThread(mask, distance, width, height, CurrentThread());
}

__global__ void SmoothDistanceKernel(const unsigned char *mask, const float *distance, float *smoothed,
                                     int width, int height)
{
    const ThreadIndex t = CurrentThread();
    SmoothDistanceCell(mask, distance, smoothed, width, height, ThreadColumn(t), ThreadRow(t));
}

__global__ void PrismoraKernel(const float *source, const float *half_blur, const float *full_blur,
                               const float *matte, const float *distance, float *destination,
                               TPCudaPrismoraParams params)
{
    const ThreadIndex t = CurrentThread();
    ShadePrismoraPixel(source, half_blur, full_blur, matte, distance, destination, params, ThreadColumn(t),
                       ThreadRow(t));
}

dim3 Dim3(LaunchShape shape)
{
    return dim3(shape.x, shape.y, 1);
}

// Every launch is finished before the launcher goes on.
cudaError_t WaitForLaunch()
{
    cudaError_t result = cudaPeekAtLastError();
    if (result == cudaSuccess) {
        result = cudaDeviceSynchronize();
    }
    return result;
}

// The launch sequence's device: the CUDA runtime on the calling thread's
// current context and its default stream.
struct CudaDevice {
    template <typename T> cudaError_t Allocate(T **buffer, size_t count)
    {
        const cudaError_t result = cudaMalloc(reinterpret_cast<void **>(buffer), count * sizeof(T));
        if (result != cudaSuccess) {
            *buffer = nullptr;
        }
        return result;
    }
    cudaError_t Upload(float *device, const float *host, size_t count)
    {
        return cudaMemcpy(device, host, count * sizeof(float), cudaMemcpyHostToDevice);
    }
    template <typename T> void Free(T *buffer)
    {
        cudaFree(buffer); // nothing useful to do with a failure here
    }

    cudaError_t BlurPass(bool horizontal, LaunchShape grid, LaunchShape block, const float *source,
                         float *destination, int source_pitch, int destination_pitch, int width, int height,
                         const float *weights, int tap_count, int clamp_edges)
    {
        if (horizontal) {
            BlurHorizontalKernel<<<Dim3(grid), Dim3(block), 0, 0>>>(source, destination, source_pitch,
                                                                    destination_pitch, width, height, weights,
                                                                    tap_count, clamp_edges);
        } else {
            BlurVerticalKernel<<<Dim3(grid), Dim3(block), 0, 0>>>(source, destination, source_pitch,
                                                                  destination_pitch, width, height, weights,
                                                                  tap_count, clamp_edges);
        }
        return WaitForLaunch();
    }
    cudaError_t InitMatteDistance(LaunchShape grid, LaunchShape block, const float *matte,
                                  unsigned char *mask, float *distance, int matte_pitch, int width,
                                  int height)
    {
        InitMatteDistanceKernel<<<Dim3(grid), Dim3(block), 0, 0>>>(matte, mask, distance, matte_pitch, width,
                                                                   height);
        return WaitForLaunch();
    }
    cudaError_t ChamferDistancePass(LaunchShape grid, LaunchShape block, const unsigned char *mask,
                                    float *distance, int width, int height)
    {
        ChamferDistancePassKernel<<<Dim3(grid), Dim3(block), 0, 0>>>(mask, distance, width, height);
        return WaitForLaunch();
    }
    cudaError_t SmoothDistance(LaunchShape grid, LaunchShape block, const unsigned char *mask,
                               const float *distance, float *smoothed, int width, int height)
    {
        SmoothDistanceKernel<<<Dim3(grid), Dim3(block), 0, 0>>>(mask, distance, smoothed, width, height);
        return WaitForLaunch();
    }
    cudaError_t Glass(LaunchShape grid, LaunchShape block, const float *source, const float *half_blur,
                      const float *full_blur, const float *matte, const float *distance, float *destination,
                      const TPCudaPrismoraParams &params)
    {
        PrismoraKernel<<<Dim3(grid), Dim3(block), 0, 0>>>(source, half_blur, full_blur, matte, distance,
                                                          destination, params);
        return WaitForLaunch();
    }
};

} // namespace

namespace prismora {

cudaError_t LaunchBlurHorizontal(const float *source, float *destination, int source_pitch,
                                 int destination_pitch, int width, int height, const float *weights,
                                 int tap_count, bool clamp_edges)
{
    CudaDevice device;
    return launch::BlurPass(device, true, source, destination, source_pitch, destination_pitch, width, height,
                            weights, tap_count, clamp_edges);
}

cudaError_t LaunchBlurVertical(const float *source, float *destination, int source_pitch,
                               int destination_pitch, int width, int height, const float *weights,
                               int tap_count, bool clamp_edges)
{
    CudaDevice device;
    return launch::BlurPass(device, false, source, destination, source_pitch, destination_pitch, width,
                            height, weights, tap_count, clamp_edges);
}

cudaError_t LaunchGlassComposite(const float *source, const float *half_blur, const float *full_blur,
                                 const float *matte, float *destination, const TPCudaPrismoraParams *params)
{
    CudaDevice device;
    return launch::GlassComposite(device, source, half_blur, full_blur, matte, destination, params);
}

} // namespace prismora
