// Frames for comparing the GPU render with the CPU render of the same frame:
// smooth pictures (a GPU frame reads them at positions that differ from the
// CPU's in the last bits, which noise would magnify), a matte, and the largest
// difference between two outputs.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>

#include "hostsim/host.h"

namespace prismora::hostsim::test {

inline PF_ParamIndex Param(const Host &host, const char *name)
{
    return host.params().Find(name).value();
}

// Gradients and slow waves, partly translucent.
inline World SmoothCard(A_long width, A_long height, PixelFormat format)
{
    World w(width, height, format);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / static_cast<float>(width);
            const float v = static_cast<float>(y) / static_cast<float>(height);
            w.Set(x, y,
                  {0.75f + 0.25f * v, 0.5f + 0.45f * std::sin(u * 9.0f + v * 3.0f), u * 0.9f + 0.05f,
                   0.5f + 0.45f * std::cos(v * 7.0f - u * 2.0f)});
        }
    }
    return w;
}

// An opaque ellipse with a soft edge, covering about a third of the frame.
inline World EllipseMatte(A_long width, A_long height, PixelFormat format)
{
    World w(width, height, format);
    const float rx = 0.326f * static_cast<float>(width);
    const float ry = 0.326f * static_cast<float>(height);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const float dx = (static_cast<float>(x) - 0.45f * static_cast<float>(width)) / rx;
            const float dy = (static_cast<float>(y) - 0.5f * static_cast<float>(height)) / ry;
            const float inside = (1.0f - std::sqrt(dx * dx + dy * dy)) * std::min(rx, ry) / 3.0f;
            w.Set(x, y, {std::clamp(inside, 0.0f, 1.0f), 1.0f, 1.0f, 1.0f});
        }
    }
    return w;
}

struct Difference {
    float largest = 0.0f;
    A_long x = -1, y = -1;
    long over = 0; // channels beyond the tolerance given
};

// Channel by channel, as floats (8 bits over 255, 16 bits over 32768).
inline Difference Compare(const World &a, const World &b, float tolerance = 0.0f)
{
    Difference d;
    if (a.width() != b.width() || a.height() != b.height() || a.format() != b.format()) {
        d.largest = INFINITY;
        return d;
    }
    for (A_long y = 0; y < a.height(); ++y) {
        for (A_long x = 0; x < a.width(); ++x) {
            const FloatArgb p = a.Get(x, y);
            const FloatArgb q = b.Get(x, y);
            for (const float diff : {std::fabs(p.alpha - q.alpha), std::fabs(p.red - q.red),
                                     std::fabs(p.green - q.green), std::fabs(p.blue - q.blue)}) {
                if (!(diff <= d.largest)) {
                    d = {std::isnan(diff) ? INFINITY : diff, x, y, d.over};
                }
                d.over += !(diff <= tolerance);
            }
        }
    }
    return d;
}

inline std::string Describe(const Difference &d)
{
    return "largest difference " + std::to_string(d.largest) + " at (" + std::to_string(d.x) + ", " +
           std::to_string(d.y) + "), " + std::to_string(d.over) + " channel(s) over the tolerance";
}

} // namespace prismora::hostsim::test
