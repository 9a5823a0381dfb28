#include "hostsim/gpu_world.h"

#include <string>
#include <vector>

#include "hostsim/host_error.h"

namespace prismora::hostsim {
namespace {

constexpr size_t kPixelBytes = 16;

} // namespace

std::unique_ptr<GpuWorld> GpuWorld::Create(GpuDevice &device, A_long width, A_long height, A_long pitch,
                                           A_long origin_x, A_long origin_y, GpuFill fill)
{
    if (width < 0 || height < 0 || pitch < width) {
        throw HostError("a GPU world of " + std::to_string(width) + " x " + std::to_string(height) +
                        " with a pitch of " + std::to_string(pitch) + " pixels");
    }
    const size_t bytes = static_cast<size_t>(pitch) * kPixelBytes * static_cast<size_t>(height);
    void *memory = device.Allocate(bytes);
    if (bytes > 0 && !memory) {
        return nullptr;
    }
    std::unique_ptr<GpuWorld> world(new GpuWorld(device, memory));
    if (!device.Fill(memory, fill == GpuFill::kClear ? 0 : 0xFF, bytes)) {
        return nullptr;
    }
    PF_EffectWorld &pf = world->pf_;
    pf.width = width;
    pf.height = height;
    pf.rowbytes = pitch * static_cast<A_long>(kPixelBytes);
    pf.origin_x = origin_x;
    pf.origin_y = origin_y;
    pf.pix_aspect_ratio = {1, 1};
    pf.world_flags = PF_WorldFlag_WRITEABLE;
    pf.extent_hint = {0, 0, width, height};
    pf.data = nullptr; // GPU frames carry no host pointer
    return world;
}

std::unique_ptr<GpuWorld> GpuWorld::Upload(GpuDevice &device, const World &host, A_long pitch_padding)
{
    // Padding stays garbage so that a read past a row's end shows.
    auto world = Create(device, host.width(), host.height(), host.width() + pitch_padding, host.origin_x(),
                        host.origin_y(), GpuFill::kGarbage);
    if (!world || host.empty()) {
        return world;
    }
    const size_t width = static_cast<size_t>(host.width());
    std::vector<float> rows(width * 4 * static_cast<size_t>(host.height()));
    for (A_long y = 0; y < host.height(); ++y) {
        float *row = rows.data() + static_cast<size_t>(y) * width * 4;
        for (A_long x = 0; x < host.width(); ++x) {
            const FloatArgb p = host.Get(x, y);
            float *out = row + static_cast<size_t>(x) * 4;
            out[0] = p.blue;
            out[1] = p.green;
            out[2] = p.red;
            out[3] = p.alpha;
        }
    }
    if (!device.Upload(world->memory_, static_cast<size_t>(world->pf_.rowbytes), rows.data(),
                       width * kPixelBytes, width * kPixelBytes, static_cast<size_t>(host.height()))) {
        return nullptr;
    }
    return world;
}

GpuWorld::~GpuWorld()
{
    device_.Free(memory_);
}

size_t GpuWorld::bytes() const
{
    return static_cast<size_t>(pf_.rowbytes) * static_cast<size_t>(pf_.height);
}

World GpuWorld::Download(PixelFormat format) const
{
    World out(pf_.width, pf_.height, format, {0, pf_.origin_x, pf_.origin_y});
    if (out.empty()) {
        return out;
    }
    const size_t width = static_cast<size_t>(pf_.width);
    std::vector<float> rows(width * 4 * static_cast<size_t>(pf_.height));
    if (!device_.Download(rows.data(), width * kPixelBytes, memory_, static_cast<size_t>(pf_.rowbytes),
                          width * kPixelBytes, static_cast<size_t>(pf_.height))) {
        throw HostError("copying a GPU frame back from the device failed");
    }
    for (A_long y = 0; y < pf_.height; ++y) {
        const float *row = rows.data() + static_cast<size_t>(y) * width * 4;
        for (A_long x = 0; x < pf_.width; ++x) {
            const float *p = row + static_cast<size_t>(x) * 4;
            // Float as the effect wrote it; 8 and 16 bits clamped and rounded half up.
            out.Set(x, y, {p[3], p[2], p[1], p[0]});
        }
    }
    return out;
}

} // namespace prismora::hostsim
