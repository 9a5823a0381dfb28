// A GPU frame: device memory in PF_PixelFormat_GPU_BGRA128 (blue, green, red,
// alpha floats) and the record the effect sees, whose data is NULL; the
// effect asks GetGPUWorldData for the device address. Rows are rowbytes apart,
// pitch pixels x 16, and the pitch may exceed the width.
#pragma once

#include <memory>

#include "AE_Effect.h"
#include "hostsim/gpu_device.h"
#include "hostsim/world.h"

namespace prismora::hostsim {

enum class GpuFill {
    kClear,  // transparent black
    kGarbage // every byte 0xFF (NaN floats), as memory nobody cleared might hold
};

class GpuWorld {
public:
    // nullptr when the device is out of memory.
    static std::unique_ptr<GpuWorld> Create(GpuDevice &device, A_long width, A_long height, A_long pitch,
                                            A_long origin_x, A_long origin_y, GpuFill fill);
    // The host world's pixels (any CPU depth) as a GPU frame with the same
    // origin; nullptr when the device is out of memory or the copy fails.
    static std::unique_ptr<GpuWorld> Upload(GpuDevice &device, const World &host, A_long pitch_padding);
    ~GpuWorld();
    GpuWorld(const GpuWorld &) = delete;
    GpuWorld &operator=(const GpuWorld &) = delete;

    PF_EffectWorld &pf() { return pf_; }
    const PF_EffectWorld &pf() const { return pf_; }
    void *memory() const { return memory_; }
    A_long pitch() const { return pf_.rowbytes / 16; }
    size_t bytes() const;

    // The pixels in a host world of `format`: 8 and 16 bits clamped to 0..1
    // and rounded half up, float exactly as the effect wrote them (the host
    // hands an effect's float output on unchanged). Throws HostError when the
    // copy from the device fails.
    World Download(PixelFormat format) const;

private:
    GpuWorld(GpuDevice &device, void *memory) : device_(device), memory_(memory) {}

    GpuDevice &device_;
    void *memory_;
    PF_EffectWorld pf_{};
};

} // namespace prismora::hostsim
