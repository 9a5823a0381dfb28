#include "cpu/gaussian_blur.h"

#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_world.h"

namespace prismora {
namespace {

using test::UniformImage;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

bool SameBits(const FloatImage &a, const FloatImage &b)
{
    // Empty images have no buffer; memcmp must not see their null pointers.
    return a.width == b.width && a.height == b.height && a.pixels.size() == b.pixels.size() &&
           (a.pixels.empty() ||
            std::memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(FloatPixel)) == 0);
}

// Size, symmetry and sum of each kernel, and the quoted weights (index, value).
TEST(GaussianKernelTest, SizeAndWeightsFollowStrengthAndQuality)
{
    const struct {
        float strength;
        int32_t quality;
        size_t size;
        std::vector<std::pair<size_t, double>> weights;
    } cases[] = {
        {3.0f, 2, 9, {{0, 0.00205}, {4, 0.3167}}}, // sigma 1.26, R = ceil(3.78)
        {3.0f, 1, 9, {}},                          // ceil(3.15) = 4 as well
        {3.0f, 3, 11, {}},
        {3.0f, 7, 9, {}}, // unknown qualities reach as far as Mid
        {1.5f, 2, 5, {{0, 0.0041}, {1, 0.1795}, {2, 0.6328}}},
        {0.002f, 1, 3, {}}, // sigma raised to 0.35
        {0.002f, 2, 5, {}},
        {0.001f, 2, 1, {{0, 1.0}}},
        {kNaN, 2, 1, {{0, 1.0}}},
    };
    for (const auto &c : cases) {
        const std::vector<float> w = GaussianKernel(c.strength, c.quality);
        ASSERT_EQ(w.size(), c.size) << c.strength << " q" << c.quality;
        double sum = 0.0;
        for (size_t k = 0; k < w.size(); ++k) {
            EXPECT_EQ(w[k], w[w.size() - 1 - k]) << k;
            sum += w[k];
        }
        EXPECT_NEAR(sum, 1.0, 1e-6);
        for (const auto &[k, value] : c.weights) {
            EXPECT_NEAR(w[k], value, 5e-5) << c.strength << " k" << k;
        }
    }
    EXPECT_EQ(GaussianKernel(3.0f, 1), GaussianKernel(3.0f, 2));
    EXPECT_EQ(GaussianKernel(0.002f, 2), GaussianKernel(0.8f, 2));
    EXPECT_THROW(GaussianKernel(1e30f, 2), std::length_error);
}

// Exact bits of the default kernel: the float-rounded weights are divided by the
// sum of the unrounded ones, which moves the last bit of two of them.
TEST(GaussianKernelTest, DefaultWeightsAreExact)
{
    const std::vector<float> expected = {0x1.0cfbap-9f,  0x1.30d76ap-6f, 0x1.700b2cp-4f,
                                         0x1.d95ea4p-3f, 0x1.444ce8p-2f, 0x1.d95ea4p-3f,
                                         0x1.700b2cp-4f, 0x1.30d76ap-6f, 0x1.0cfbap-9f};
    EXPECT_EQ(GaussianKernel(3.0f, 2), expected);
}

TEST(GaussianBlurTest, NegligibleStrengthOrUnusableSourceIsCopied)
{
    FloatImage source = UniformImage(3, 2, {0.5f, 2.0f, -1.0f, 0.125f});
    source.pixels[4].red = 7.0f;
    EXPECT_TRUE(SameBits(GaussianBlur(source, 0.001f, 2, false), source));
    EXPECT_TRUE(SameBits(GaussianBlur(source, kNaN, 2, true), source));

    FloatImage empty;
    empty.height = 4;
    EXPECT_TRUE(SameBits(GaussianBlur(empty, 3.0f, 2, true), empty));
    // A pixel count that does not match the size is passed through, never read past.
    FloatImage short_of_pixels = UniformImage(4, 4, {1.0f, 1.0f, 1.0f, 1.0f});
    short_of_pixels.pixels.resize(5);
    EXPECT_TRUE(SameBits(GaussianBlur(short_of_pixels, 3.0f, 2, true), short_of_pixels));
}

} // namespace
} // namespace prismora
