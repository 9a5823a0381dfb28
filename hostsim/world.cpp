#include "hostsim/world.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "hostsim/host_error.h"

namespace prismora::hostsim {

PF_LRect Intersect(const PF_LRect &a, const PF_LRect &b)
{
    PF_LRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
    if (IsEmptyRect(r)) {
        r = {r.left, r.top, r.left, r.top};
    }
    return r;
}

bool IsEmptyRect(const PF_LRect &r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

World::World()
{
    pf_.pix_aspect_ratio = {1, 1};
}

World::World(A_long width, A_long height, PixelFormat format, WorldLayout layout)
    : World(width, height, format, layout, Fill::kClear)
{
}

World::World(A_long width, A_long height, PixelFormat format, WorldLayout layout, Fill fill) : format_(format)
{
    if (format == PixelFormat::kGpuBgra128) {
        // Device frames live in device memory: GpuWorld (gpu_world.h) holds them.
        throw HostError("a World holds CPU pixels; GPU frames are GpuWorlds");
    }
    if (width < 0 || height < 0 || layout.row_padding_bytes < 0) {
        throw HostError("a world cannot have a negative size (" + std::to_string(width) + " x " +
                        std::to_string(height) + ")");
    }
    pf_.width = width;
    pf_.height = height;
    pf_.origin_x = layout.origin_x;
    pf_.origin_y = layout.origin_y;
    pf_.pix_aspect_ratio = {1, 1};
    pf_.world_flags = PF_WorldFlag_WRITEABLE | (format == PixelFormat::kArgb64 ? PF_WorldFlag_DEEP : 0);
    pf_.extent_hint = {0, 0, width, height};
    if (width == 0 || height == 0) {
        return;
    }
    const size_t pixel_row = static_cast<size_t>(width) * static_cast<size_t>(BytesPerPixel(format));
    const size_t row = pixel_row + static_cast<size_t>(layout.row_padding_bytes);
    // Every byte written once: the pixels cleared, the padding a pattern that
    // shows a write past a row's end.
    storage_ = std::make_unique_for_overwrite<std::byte[]>(row * static_cast<size_t>(height));
    if (row == pixel_row) {
        if (fill == Fill::kClear) {
            std::memset(storage_.get(), 0, row * static_cast<size_t>(height));
        }
    } else {
        for (A_long y = 0; y < height; ++y) {
            std::byte *start = storage_.get() + row * static_cast<size_t>(y);
            if (fill == Fill::kClear) {
                std::memset(start, 0, pixel_row);
            }
            std::memset(start + pixel_row, 0xCD, row - pixel_row);
        }
    }
    pf_.rowbytes = layout.bottom_up ? -static_cast<A_long>(row) : static_cast<A_long>(row);
    pf_.data = reinterpret_cast<PF_PixelPtr>(const_cast<std::byte *>(Row(0)));
}

const std::byte *World::Row(A_long y) const
{
    // From the storage, not pf_.data: a test may null the record's pointer.
    const std::byte *first = storage_.get();
    if (pf_.rowbytes < 0) {
        first -= static_cast<std::ptrdiff_t>(height() - 1) * pf_.rowbytes;
    }
    return first + static_cast<std::ptrdiff_t>(y) * pf_.rowbytes;
}

PF_LRect World::LayerRect() const
{
    return {pf_.origin_x, pf_.origin_y, pf_.origin_x + pf_.width, pf_.origin_y + pf_.height};
}

std::byte *World::PixelBytes(A_long x, A_long y)
{
    return const_cast<std::byte *>(static_cast<const World &>(*this).PixelBytes(x, y));
}

const std::byte *World::PixelBytes(A_long x, A_long y) const
{
    if (empty() || x < 0 || y < 0 || x >= pf_.width || y >= pf_.height) {
        throw HostError("pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is outside a " +
                        std::to_string(pf_.width) + " x " + std::to_string(pf_.height) + " world");
    }
    return Row(y) + static_cast<std::ptrdiff_t>(x) * BytesPerPixel(format_);
}

FloatArgb World::Get(A_long x, A_long y) const
{
    switch (format_) {
    case PixelFormat::kArgb32: {
        const auto &p = At<PF_Pixel8>(x, y);
        return {UnitFrom8(p.alpha), UnitFrom8(p.red), UnitFrom8(p.green), UnitFrom8(p.blue)};
    }
    case PixelFormat::kArgb64: {
        const auto &p = At<PF_Pixel16>(x, y);
        return {UnitFrom16(p.alpha), UnitFrom16(p.red), UnitFrom16(p.green), UnitFrom16(p.blue)};
    }
    default: {
        const auto &p = At<PF_PixelFloat>(x, y);
        return {p.alpha, p.red, p.green, p.blue};
    }
    }
}

void World::Set(A_long x, A_long y, const FloatArgb &v)
{
    switch (format_) {
    case PixelFormat::kArgb32:
        At<PF_Pixel8>(x, y) = {UnitTo8(v.alpha), UnitTo8(v.red), UnitTo8(v.green), UnitTo8(v.blue)};
        break;
    case PixelFormat::kArgb64:
        At<PF_Pixel16>(x, y) = {UnitTo16(v.alpha), UnitTo16(v.red), UnitTo16(v.green), UnitTo16(v.blue)};
        break;
    default:
        At<PF_PixelFloat>(x, y) = {v.alpha, v.red, v.green, v.blue};
        break;
    }
}

World World::Clone(WorldLayout layout) const
{
    World out(width(), height(), format_, layout, Fill::kNone);
    if (out.empty()) {
        return out; // 0 x N and N x 0 hold no pixels
    }
    const size_t row = static_cast<size_t>(width()) * static_cast<size_t>(BytesPerPixel(format_));
    for (A_long y = 0; y < height(); ++y) {
        std::memcpy(out.PixelBytes(0, y), PixelBytes(0, y), row);
    }
    return out;
}

World World::Clone() const
{
    return Clone({0, origin_x(), origin_y()});
}

World World::Crop(const PF_LRect &rect, const WorldLayout &rows) const
{
    const PF_LRect inside = Intersect(rect, LayerRect());
    if (inside.left != rect.left || inside.top != rect.top || inside.right != rect.right ||
        inside.bottom != rect.bottom) {
        throw HostError("crop rectangle lies outside the world");
    }
    // The rectangle lies inside this world, so the paste writes every pixel.
    World out(rect.right - rect.left, rect.bottom - rect.top, format_, rows.At(rect.left, rect.top),
              Fill::kNone);
    out.Paste(*this);
    return out;
}

void World::Paste(const World &src)
{
    if (src.format_ != format_) {
        throw HostError(std::string("cannot paste a ") + FormatName(src.format_) + " world into a " +
                        FormatName(format_) + " world");
    }
    const PF_LRect r = Intersect(LayerRect(), src.LayerRect());
    if (IsEmptyRect(r) || empty() || src.empty()) {
        return;
    }
    const size_t bytes = static_cast<size_t>(r.right - r.left) * static_cast<size_t>(BytesPerPixel(format_));
    for (A_long y = r.top; y < r.bottom; ++y) {
        std::memcpy(PixelBytes(r.left - origin_x(), y - origin_y()),
                    src.PixelBytes(r.left - src.origin_x(), y - src.origin_y()), bytes);
    }
}

bool World::SamePixels(const World &other) const
{
    if (format_ != other.format_ || width() != other.width() || height() != other.height()) {
        return false;
    }
    const size_t row = static_cast<size_t>(width()) * static_cast<size_t>(BytesPerPixel(format_));
    for (A_long y = 0; y < height(); ++y) {
        if (std::memcmp(PixelBytes(0, y), other.PixelBytes(0, y), row) != 0) {
            return false;
        }
    }
    return true;
}

} // namespace prismora::hostsim
