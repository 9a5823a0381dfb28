#include "cpu/window_blur.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "cpu/scratch_vector.h"
#include "cpu/tap_sums.h"
#include "model/pixel_traits.h"

namespace prismora {
namespace {

constexpr std::size_t kChannels = BlurWindow::kChannels; // a row is a run of red, green, blue

A_long Radius(const std::vector<float> &kernel)
{
    return static_cast<A_long>(kernel.size() / 2);
}

// A kernel's weights as the sums take them.
std::vector<double> Weights(const std::vector<float> &kernel)
{
    return std::vector<double>(kernel.begin(), kernel.end());
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
        o[0] = p.red;
        o[1] = p.green;
        o[2] = p.blue;
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

    std::vector<std::vector<double>> weights;
    for (const std::vector<float> &kernel : kernels) {
        weights.push_back(Weights(kernel));
    }
    // Uninitialised: each band writes its rows whole, so the pages are first
    // touched on the host's threads.
    std::vector<ScratchVector<float>> across(kernels.size());
    for (ScratchVector<float> &rows : across) {
        rows.resize(pass_rows * floats);
    }
    PF_Err err = threads.ForEachBand(end_row - first_row, [&](A_long begin, A_long end) {
        std::vector<float> padded(padded_pixels * kChannels);
        std::vector<const float *> taps;
        for (A_long r = begin; r < end; ++r) {
            ReadPaddedRow<Pixel>(world, first_row + r, int64_t{rect.left} - reach, padded_pixels, clamp_edges,
                                 padded.data());
            for (std::size_t k = 0; k < kernels.size(); ++k) {
                // Tap t of column i is padded pixel i + t after the kernel's start.
                const float *start =
                    padded.data() + static_cast<std::size_t>(reach - Radius(kernels[k])) * kChannels;
                taps.clear();
                for (std::size_t t = 0; t < kernels[k].size(); ++t) {
                    taps.push_back(start + t * kChannels);
                }
                SumTaps(taps.data(), weights[k].data(), taps.size(),
                        across[k].data() + static_cast<std::size_t>(r) * floats, floats);
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
        window.colour.resize(floats * static_cast<std::size_t>(rect.bottom - rect.top));
    }
    const std::vector<float> zero_row(clamp_edges ? 0 : floats, 0.0f);
    return threads.ForEachBand(rect.bottom - rect.top, [&](A_long begin, A_long end) {
        std::vector<const float *> taps;
        for (A_long r = begin; r < end; ++r) {
            const A_long y = rect.top + r;
            for (std::size_t k = 0; k < kernels.size(); ++k) {
                const std::vector<float> &kernel = kernels[k];
                taps.clear();
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
                    taps.push_back(row);
                }
                float *out = windows[k].colour.data() + static_cast<std::size_t>(r) * floats;
                SumTaps(taps.data(), weights[k].data(), taps.size(), out, floats);
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
