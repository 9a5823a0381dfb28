// The emulated device: "device memory" is host memory, for the plug-in built
// with the emulated launchers.
#include <cstring>
#include <new>

#include "hostsim/gpu_device.h"

namespace prismora::hostsim {
namespace {

// Copies rows that may lie apart by a pitch on either side.
void CopyRows(void *dst, size_t dst_pitch, const void *src, size_t src_pitch, size_t row_bytes, size_t rows)
{
    for (size_t y = 0; y < rows; ++y) {
        std::memcpy(static_cast<char *>(dst) + y * dst_pitch, static_cast<const char *>(src) + y * src_pitch,
                    row_bytes);
    }
}

class EmulatedGpuDevice final : public GpuDevice {
public:
    std::string Name() const override { return "emulated device"; }
    bool emulated() const override { return true; }
    void MakeCurrent() override {}

    void *Allocate(size_t bytes) override
    {
        // Aligned as cudaMalloc's memory is, so that float4 reads stay aligned.
        return bytes == 0 ? nullptr : ::operator new (bytes, std::align_val_t{256}, std::nothrow);
    }
    void Free(void *memory) override { ::operator delete (memory, std::align_val_t{256}); }
    bool Fill(void *memory, int byte, size_t bytes) override
    {
        if (bytes > 0) {
            std::memset(memory, byte, bytes);
        }
        return true;
    }
    bool Upload(void *dst, size_t dst_pitch, const void *src, size_t src_pitch, size_t row_bytes,
                size_t rows) override
    {
        CopyRows(dst, dst_pitch, src, src_pitch, row_bytes, rows);
        return true;
    }
    bool Download(void *dst, size_t dst_pitch, const void *src, size_t src_pitch, size_t row_bytes,
                  size_t rows) override
    {
        CopyRows(dst, dst_pitch, src, src_pitch, row_bytes, rows);
        return true;
    }
};

} // namespace

std::unique_ptr<GpuDevice> MakeEmulatedGpuDevice()
{
    return std::make_unique<EmulatedGpuDevice>();
}

} // namespace prismora::hostsim
