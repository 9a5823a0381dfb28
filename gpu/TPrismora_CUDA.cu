// The effect's device code: the six kernels and their host-side launchers.
// The kernels are thin shells around the per-thread functions in gpu/kernels/,
// which the emulated device runs on the CPU as well.
#include <cstddef>
#include <cstdint>

#include <cuda_runtime.h>

#include "gpu/cuda_error_text.h"
#include "gpu/cuda_launchers.h"
#include "gpu/kernels/blur_kernels.h"
#include "gpu/kernels/glass_kernel.h"
#include "gpu/kernels/matte_distance_kernels.h"

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

// A device allocation owned for one launcher call.
template <typename T> class DeviceBuffer {
public:
    DeviceBuffer() = default;
    DeviceBuffer(const DeviceBuffer &) = delete;
    DeviceBuffer &operator=(const DeviceBuffer &) = delete;
    ~DeviceBuffer()
    {
        if (data_ != nullptr) {
            cudaFree(data_); // nothing useful to do with a failure here
        }
    }

    cudaError_t Allocate(size_t count)
    {
        return cudaMalloc(reinterpret_cast<void **>(&data_), count * sizeof(T));
    }
    T *get() const { return data_; }

private:
    T *data_ = nullptr;
};

// Every launch is finished before the launcher goes on.
cudaError_t WaitForLaunch()
{
    cudaError_t result = cudaPeekAtLastError();
    if (result == cudaSuccess) {
        result = cudaDeviceSynchronize();
    }
    return result;
}

dim3 PixelGrid(int width, int height)
{
    return dim3(GridBlocksFor(width), GridBlocksFor(height), 1);
}

const dim3 kPixelBlock(16, 16, 1);

cudaError_t LaunchBlurPass(bool horizontal, const float *source, float *destination, int source_pitch,
                           int destination_pitch, int width, int height, const float *weights, int tap_count,
                           bool clamp_edges)
{
    if (source == nullptr || destination == nullptr || weights == nullptr || width <= 0 || height <= 0 ||
        tap_count <= 0) {
        return prismora::RecordCudaError(cudaErrorInvalidValue);
    }
    DeviceBuffer<float> device_weights;
    cudaError_t result = device_weights.Allocate(static_cast<size_t>(tap_count));
    if (result != cudaSuccess) {
        return prismora::RecordCudaError(result);
    }
    result = cudaMemcpy(device_weights.get(), weights, static_cast<size_t>(tap_count) * sizeof(float),
                        cudaMemcpyHostToDevice);
    if (result != cudaSuccess) {
        return prismora::RecordCudaError(result);
    }
    const dim3 grid = PixelGrid(width, height);
    const int clamp = clamp_edges ? 1 : 0;
    if (horizontal) {
        BlurHorizontalKernel<<<grid, kPixelBlock, 0, 0>>>(source, destination, source_pitch,
                                                          destination_pitch, width, height,
                                                          device_weights.get(), tap_count, clamp);
    } else {
        BlurVerticalKernel<<<grid, kPixelBlock, 0, 0>>>(source, destination, source_pitch, destination_pitch,
                                                        width, height, device_weights.get(), tap_count,
                                                        clamp);
    }
    return prismora::RecordCudaError(WaitForLaunch());
}

} // namespace

namespace prismora {

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
    DeviceBuffer<unsigned char> mask;
    DeviceBuffer<float> distance;
    DeviceBuffer<float> smoothed;
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
        InitMatteDistanceKernel<<<PixelGrid(w, h), kPixelBlock, 0, 0>>>(matte, mask.get(), distance.get(),
                                                                        block.matte_pitch, w, h);
        result = WaitForLaunch();
        if (result == cudaSuccess) {
            ChamferDistancePassKernel<<<dim3(1, 1, 1), dim3(1, 1, 1), 0, 0>>>(mask.get(), distance.get(), w,
                                                                              h);
            result = WaitForLaunch();
        }
        if (result == cudaSuccess) {
            SmoothDistanceKernel<<<PixelGrid(w, h), kPixelBlock, 0, 0>>>(mask.get(), distance.get(),
                                                                         smoothed.get(), w, h);
            result = WaitForLaunch();
        }
        if (result != cudaSuccess) {
            return RecordCudaError(result);
        }
    }
    PrismoraKernel<<<PixelGrid(block.out_width, block.out_height), kPixelBlock, 0, 0>>>(
        source, half_blur, full_blur, matte, smoothed.get(), destination, block);
    return RecordCudaError(WaitForLaunch());
}

} // namespace prismora
