// Where the host keeps GPU frames: a CUDA device when the CUDA runtime reports
// one, or an emulated device whose "device memory" is host memory (for the
// plug-in built with the emulated launchers, which read host memory).
// Copies are pitched: rows of row_bytes, dst_pitch and src_pitch bytes apart.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace prismora::hostsim {

class GpuDevice {
public:
    virtual ~GpuDevice() = default;

    virtual std::string Name() const = 0;
    virtual bool emulated() const = 0;
    // Makes the device current on the calling thread (the effect renders on
    // whatever device is current there).
    virtual void MakeCurrent() = 0;
    // nullptr when the device is out of memory; 0 bytes gives nullptr too.
    virtual void *Allocate(size_t bytes) = 0;
    virtual void Free(void *memory) = 0;
    virtual bool Fill(void *memory, int byte, size_t bytes) = 0;
    virtual bool Upload(void *dst, size_t dst_pitch, const void *src, size_t src_pitch, size_t row_bytes,
                        size_t rows) = 0;
    virtual bool Download(void *dst, size_t dst_pitch, const void *src, size_t src_pitch, size_t row_bytes,
                          size_t rows) = 0;
};

// The number of CUDA devices; 0 when there is no driver or no device.
int CudaDeviceCount();
// The CUDA device of this ordinal, or nullptr when there is none.
std::unique_ptr<GpuDevice> OpenCudaDevice(int ordinal = 0);
std::unique_ptr<GpuDevice> MakeEmulatedGpuDevice();

} // namespace prismora::hostsim
