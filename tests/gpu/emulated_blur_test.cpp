// The blur launchers on the emulated device: coverage of the launch grid, the
// edge rules, and agreement with the CPU blur.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "cpu/gaussian_blur.h"
#include "gpu/cuda_launchers.h"
#include "gpu/emulation/emulated_grid.h"

namespace prismora {
namespace {

using test::BgraFrame;
using test::PatternImage;

constexpr float kUntouched = -777.0f;

// The single weight 1.0 copies every pixel through both passes; a 17 x 1 frame
// takes a 2 x 1 grid whose spare threads leave the row padding alone.
TEST(EmulatedBlur, SingleWeightCopiesASeventeenByOneFrame)
{
    const kernels::LaunchShape grid = kernels::PixelGridFor(17, 1);
    EXPECT_EQ(grid.x, 2u);
    EXPECT_EQ(grid.y, 1u);
    const std::vector<float> weights = GaussianKernel(0.001f, 2);
    ASSERT_EQ(weights, std::vector<float>{1.0f});
    for (bool clamp : {false, true}) {
        const BgraFrame src = BgraFrame::FromImage(PatternImage(17, 1), 15);
        BgraFrame mid(17, 1, 15, kUntouched);
        BgraFrame dst(17, 1, 15, kUntouched);
        ASSERT_EQ(LaunchBlurHorizontal(src.data(), mid.data(), src.pitch(), mid.pitch(), 17, 1,
                                       weights.data(), 1, clamp),
                  cudaSuccess);
        ASSERT_EQ(LaunchBlurVertical(mid.data(), dst.data(), mid.pitch(), dst.pitch(), 17, 1, weights.data(),
                                     1, clamp),
                  cudaSuccess);
        for (int x = 0; x < dst.pitch(); ++x) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(dst.At(x, 0)[c], x < 17 ? src.At(x, 0)[c] : kUntouched) << x;
            }
        }
    }
}

// Pixel 0 of a blurred line: without clamping only offsets 0..R count; with
// clamping the weights of offsets -R..-1 all fall on pixel 0.
double ExpectedAtStart(const std::vector<float> &w, const std::vector<float> &line, bool clamp)
{
    const int r = static_cast<int>(w.size()) / 2;
    double sum = 0.0;
    for (int k = -r; k <= r; ++k) {
        const int i = k < 0 ? (clamp ? 0 : -1) : k;
        if (i >= 0) {
            sum += static_cast<double>(w[k + r]) * static_cast<double>(line[i]);
        }
    }
    return sum;
}

TEST(EmulatedBlur, EdgeRuleAtTheFirstColumnAndRow)
{
    const std::vector<float> weights = GaussianKernel(3.0f, 2);
    ASSERT_EQ(weights.size(), 9u); // R = 4
    const std::vector<float> line = {0.9f, 0.1f, 0.4f, 0.8f, 0.3f, 0.6f, 0.2f, 0.7f, 0.5f, 0.05f};
    const int n = static_cast<int>(line.size());
    BgraFrame row(n, 1);
    BgraFrame column(1, n);
    for (int i = 0; i < n; ++i) {
        row.Set(i, 0, {line[i], line[i], line[i], line[i]});
        column.Set(0, i, {line[i], line[i], line[i], line[i]});
    }
    for (bool clamp : {false, true}) {
        BgraFrame out_row(n, 1);
        BgraFrame out_column(1, n);
        ASSERT_EQ(LaunchBlurHorizontal(row.data(), out_row.data(), n, n, n, 1, weights.data(), 9, clamp),
                  cudaSuccess);
        ASSERT_EQ(LaunchBlurVertical(column.data(), out_column.data(), 1, 1, 1, n, weights.data(), 9, clamp),
                  cudaSuccess);
        const double expected = ExpectedAtStart(weights, line, clamp);
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(out_row.At(0, 0)[c], expected, 1e-6) << "clamp " << clamp;
            EXPECT_NEAR(out_column.At(0, 0)[c], expected, 1e-6) << "clamp " << clamp;
        }
    }
}

TEST(EmulatedBlur, TwoPassesMatchTheCpuBlur)
{
    const FloatImage image = PatternImage(29, 19, 3);
    for (float strength : {1.5f, 3.0f, 0.002f}) {
        for (bool clamp : {false, true}) {
            const FloatImage expected = GaussianBlur(image, strength, 2, clamp);
            const std::vector<float> weights = GaussianKernel(strength, 2);
            const int taps = static_cast<int>(weights.size());
            BgraFrame src = BgraFrame::FromImage(image, 2);
            BgraFrame mid(29, 19, 7);
            BgraFrame dst(29, 19, 1);
            ASSERT_EQ(LaunchBlurHorizontal(src.data(), mid.data(), src.pitch(), mid.pitch(), 29, 19,
                                           weights.data(), taps, clamp),
                      cudaSuccess);
            ASSERT_EQ(LaunchBlurVertical(mid.data(), dst.data(), mid.pitch(), dst.pitch(), 29, 19,
                                         weights.data(), taps, clamp),
                      cudaSuccess);
            for (int y = 0; y < 19; ++y) {
                for (int x = 0; x < 29; ++x) {
                    const FloatPixel e = expected.pixels[static_cast<size_t>(y) * 29 + x];
                    const FloatPixel g = dst.Get(x, y);
                    // Fused and separate double sums round to the same float but for the last bit.
                    for (const auto &[got, want] : {std::pair{g.alpha, e.alpha},
                                                    {g.red, e.red},
                                                    {g.green, e.green},
                                                    {g.blue, e.blue}}) {
                        ASSERT_NEAR(got, want, 1e-6f) << strength << " " << clamp << " " << x << "," << y;
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace prismora
