#include "cpu/window_blur.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "model/pixel_traits.h"

namespace prismora {
namespace {

constexpr std::size_t kChannels = 4; // a FloatPixel as four floats

A_long Radius(const std::vector<float> &kernel)
{
    return static_cast<A_long>(kernel.size() / 2);
}

// acc[i] += row[i] * w over n floats; a loop of independent lanes the compiler
// vectorizes, each lane adding its taps in the kernel's order.
void AddTap(double *__restrict acc, const float *__restrict row, double w, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        acc[i] += static_cast<double>(row[i]) * w;
    }
}

void StoreSums(float *__restrict out, const double *__restrict acc, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<float>(acc[i]);
    }
}

void StoreSums(FloatPixel *out, const double *acc, std::size_t pixels)
{
    for (std::size_t i = 0; i < pixels; ++i) {
        const double *p = acc + i * kChannels;
        out[i] = {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]),
                  static_cast<float>(p[3])};
    }
}

// Row y of the world as floats from column `first` on, `count` pixels, with
// the blur's edge rule outside the world (replicated edge or transparent).
template <typename Pixel>
void ReadPaddedRow(const PF_EffectWorld &world, A_long y, int64_t first, std::size_t count, bool clamp_edges,
                   float *out)
{
    for (std::size_t i = 0; i < count; ++i) {
        const int64_t x = first + static_cast<int64_t>(i);
        FloatPixel p{};
        if (x >= 0 && x < world.width) {
            p = ToFloatPixel(*WorldPixelAt<Pixel>(world, static_cast<A_long>(x), y));
        } else if (clamp_edges) {
            p = ToFloatPixel(*WorldPixelAt<Pixel>(world, x < 0 ? 0 : world.width - 1, y));
        }
        float *o = out + i * kChannels;
        o[0] = p.alpha;
        o[1] = p.red;
        o[2] = p.green;
        o[3] = p.blue;
    }
}

} // namespace

template <typename Pixel>
PF_Err BlurWorldWindow(const PF_EffectWorld &world, const PF_LRect &rect, bool clamp_edges,
                       const std::vector<std::vector<float>> &kernels, const HostThreads &threads,
                       std::vector<BlurWindow> &windows)
{
    A_long reach = 0;
    for (const std::vector<float> &kernel : kernels) {
        reach = std::max(reach, Radius(kernel));
    }
    const A_long columns = rect.right - rect.left;
    const std::size_t floats = static_cast<std::size_t>(columns) * kChannels;
    // The horizontal pass covers the rows the vertical taps reach inside the
    // world (in 64 bits: a kernel may reach further than A_long counts).
    const auto first_row = static_cast<A_long>(std::max<int64_t>(0, int64_t{rect.top} - reach));
    const auto end_row = static_cast<A_long>(std::min<int64_t>(world.height, int64_t{rect.bottom} + reach));
    const std::size_t pass_rows = static_cast<std::size_t>(end_row - first_row);
    const std::size_t padded_pixels = static_cast<std::size_t>(columns) + 2 * static_cast<std::size_t>(reach);

    std::vector<std::vector<float>> across(kernels.size(), std::vector<float>(pass_rows * floats));
    PF_Err err = threads.ForEachBand(end_row - first_row, [&](A_long begin, A_long end) {
        std::vector<float> padded(padded_pixels * kChannels);
        std::vector<double> acc(floats);
        for (A_long r = begin; r < end; ++r) {
            ReadPaddedRow<Pixel>(world, first_row + r, int64_t{rect.left} - reach, padded_pixels, clamp_edges,
                                 padded.data());
            for (std::size_t k = 0; k < kernels.size(); ++k) {
                const std::vector<float> &kernel = kernels[k];
                const float *start =
                    padded.data() + static_cast<std::size_t>(reach - Radius(kernel)) * kChannels;
                std::fill(acc.begin(), acc.end(), 0.0);
                for (std::size_t t = 0; t < kernel.size(); ++t) {
                    AddTap(acc.data(), start + t * kChannels, static_cast<double>(kernel[t]), floats);
                }
                StoreSums(across[k].data() + static_cast<std::size_t>(r) * floats, acc.data(), floats);
            }
        }
    });

    if (err != PF_Err_NONE) {
        return err;
    }
    windows.assign(kernels.size(), BlurWindow{});
    for (BlurWindow &window : windows) {
        window.width = world.width;
        window.height = world.height;
        window.rect = rect;
        window.pixels.resize(static_cast<std::size_t>(columns) *
                             static_cast<std::size_t>(rect.bottom - rect.top));
    }
    const std::vector<float> zero_row(clamp_edges ? 0 : floats, 0.0f);
    return threads.ForEachBand(rect.bottom - rect.top, [&](A_long begin, A_long end) {
        std::vector<double> acc(floats);
        for (A_long r = begin; r < end; ++r) {
            const A_long y = rect.top + r;
            for (std::size_t k = 0; k < kernels.size(); ++k) {
                const std::vector<float> &kernel = kernels[k];
                std::fill(acc.begin(), acc.end(), 0.0);
                for (std::size_t t = 0; t < kernel.size(); ++t) {
                    int64_t tap = int64_t{y} - Radius(kernel) + static_cast<int64_t>(t);
                    const float *row = nullptr;
                    if (tap < 0 || tap >= world.height) {
                        if (clamp_edges) {
                            tap = tap < 0 ? 0 : world.height - 1;
                        } else {
                            row = zero_row.data();
                        }
                    }
                    if (row == nullptr) {
                        row = across[k].data() + static_cast<std::size_t>(tap - first_row) * floats;
                    }
                    AddTap(acc.data(), row, static_cast<double>(kernel[t]), floats);
                }
                StoreSums(windows[k].pixels.data() +
                              static_cast<std::size_t>(r) * static_cast<std::size_t>(columns),
                          acc.data(), static_cast<std::size_t>(columns));
            }
        }
    });
}

template PF_Err BlurWorldWindow<PF_Pixel8>(const PF_EffectWorld &, const PF_LRect &, bool,
                                           const std::vector<std::vector<float>> &, const HostThreads &,
                                           std::vector<BlurWindow> &);
template PF_Err BlurWorldWindow<PF_Pixel16>(const PF_EffectWorld &, const PF_LRect &, bool,
                                            const std::vector<std::vector<float>> &, const HostThreads &,
                                            std::vector<BlurWindow> &);
template PF_Err BlurWorldWindow<PF_PixelFloat>(const PF_EffectWorld &, const PF_LRect &, bool,
                                               const std::vector<std::vector<float>> &, const HostThreads &,
                                               std::vector<BlurWindow> &);

} // namespace prismora
