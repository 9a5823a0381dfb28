#include "cpu/gaussian_blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include <gtest/gtest.h>

namespace prismora {
namespace {

FloatImage Constant(A_long width, A_long height, FloatPixel value)
{
    FloatImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), value);
    return image;
}

FloatPixel &At(FloatImage &image, A_long x, A_long y)
{
    return image.pixels[static_cast<size_t>(y * image.width + x)];
}

bool SameBits(const FloatImage &a, const FloatImage &b)
{
    return a.width == b.width && a.height == b.height && a.pixels.size() == b.pixels.size() &&
           std::memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(FloatPixel)) == 0;
}

void ExpectSymmetric(const std::vector<float> &w)
{
    for (size_t k = 0; k < w.size(); ++k) {
        EXPECT_EQ(w[k], w[w.size() - 1 - k]) << k;
    }
}

double Sum(const std::vector<float> &w)
{
    double s = 0.0;
    for (float v : w) {
        s += v;
    }
    return s;
}

TEST(GaussianKernelTest, DefaultStrengthReachesFourOrFiveTaps)
{
    const std::vector<float> mid = GaussianKernel(3.0f, 2);
    ASSERT_EQ(mid.size(), 9u);
    ExpectSymmetric(mid);
    EXPECT_NEAR(mid[4], 0.3167, 5e-5);
    EXPECT_NEAR(mid[0], 0.00205, 5e-6);
    EXPECT_NEAR(Sum(mid), 1.0, 1e-6);
    // Low quality: ceil(1.26 * 2.5) = 4 as well, the same weights.
    EXPECT_EQ(GaussianKernel(3.0f, 1), mid);
    const std::vector<float> high = GaussianKernel(3.0f, 3);
    ASSERT_EQ(high.size(), 11u);
    ExpectSymmetric(high);
    EXPECT_NEAR(Sum(high), 1.0, 1e-6);
    // Unknown qualities reach as far as Mid.
    EXPECT_EQ(GaussianKernel(3.0f, 0), mid);
    EXPECT_EQ(GaussianKernel(3.0f, 7), mid);
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

TEST(GaussianKernelTest, HalfStrengthWeights)
{
    const std::vector<float> w = GaussianKernel(1.5f, 2);
    ASSERT_EQ(w.size(), 5u);
    ExpectSymmetric(w);
    EXPECT_NEAR(w[0], 0.0041, 5e-5);
    EXPECT_NEAR(w[1], 0.1795, 5e-5);
    EXPECT_NEAR(w[2], 0.6328, 5e-5);
}

TEST(GaussianKernelTest, TinyStrengthStillBlursWithTheMinimumSigma)
{
    EXPECT_EQ(GaussianKernel(0.002f, 1).size(), 3u);
    EXPECT_EQ(GaussianKernel(0.002f, 2).size(), 5u);
    EXPECT_EQ(GaussianKernel(0.002f, 3).size(), 5u);
    // sigma is raised to 0.35 for every strength up to 0.35 / 0.42.
    EXPECT_EQ(GaussianKernel(0.002f, 2), GaussianKernel(0.8f, 2));
}

TEST(GaussianKernelTest, NegligibleStrengthIsTheIdentity)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float strength : {0.001f, 0.0f, -4.0f, nan}) {
        EXPECT_EQ(GaussianKernel(strength, 2), std::vector<float>{1.0f}) << strength;
    }
}

TEST(GaussianKernelTest, UnrepresentableReachIsALengthError)
{
    EXPECT_THROW(GaussianKernel(1e30f, 2), std::length_error);
    EXPECT_THROW(GaussianKernel(std::numeric_limits<float>::infinity(), 2), std::length_error);
}

TEST(FetchPixelTest, EdgeRules)
{
    FloatImage image = Constant(3, 2, {});
    At(image, 0, 0) = {1.0f, 0.0f, 0.0f, 0.0f};
    At(image, 2, 1) = {0.0f, 2.0f, 0.0f, 0.0f};
    At(image, 1, 0) = {0.0f, 0.0f, 3.0f, 0.0f};
    EXPECT_EQ(FetchPixel(image, -5, -1, true).alpha, 1.0f);
    EXPECT_EQ(FetchPixel(image, 9, 4, true).red, 2.0f);
    EXPECT_EQ(FetchPixel(image, 1, -3, true).green, 3.0f);
    EXPECT_EQ(FetchPixel(image, 1, 0, false).green, 3.0f);
    EXPECT_EQ(FetchPixel(image, -1, 0, false).alpha, 0.0f);
    EXPECT_EQ(FetchPixel(image, 3, 1, false).red, 0.0f);
    EXPECT_EQ(FetchPixel(image, 1, -1, false).green, 0.0f);
    EXPECT_EQ(FetchPixel(FloatImage{}, 0, 0, true).alpha, 0.0f);
}

TEST(GaussianBlurTest, SinglePixelFadesToTransparentWithoutClamping)
{
    const FloatImage source = Constant(1, 1, {1.0f, 1.0f, 1.0f, 1.0f});
    const float centre = GaussianKernel(3.0f, 2)[4];
    const float expected = static_cast<float>(static_cast<double>(centre) * static_cast<double>(centre));
    const FloatImage result = GaussianBlur(source, 3.0f, 2, false);
    ASSERT_TRUE(result.IsUsable());
    EXPECT_NEAR(result.pixels[0].alpha, 0.1003, 5e-5);
    for (float channel :
         {result.pixels[0].alpha, result.pixels[0].red, result.pixels[0].green, result.pixels[0].blue}) {
        EXPECT_EQ(channel, expected);
    }
    // Clamped, the same pixel has nothing but itself around it.
    EXPECT_NEAR(GaussianBlur(source, 3.0f, 2, true).pixels[0].red, 1.0f, 1e-6f);
}

TEST(GaussianBlurTest, ConstantImageStaysConstantToItsBordersWhenClamped)
{
    const FloatPixel value{0.25f, 3.0f, -0.5f, 1.0f};
    const FloatImage result = GaussianBlur(Constant(7, 5, value), 3.0f, 3, true);
    ASSERT_EQ(result.width, 7);
    ASSERT_EQ(result.height, 5);
    for (const FloatPixel &p : result.pixels) {
        EXPECT_NEAR(p.alpha, 0.25f, 1e-6f);
        EXPECT_NEAR(p.red, 3.0f, 4e-6f); // values outside 0..1 are not clamped
        EXPECT_NEAR(p.green, -0.5f, 1e-6f);
        EXPECT_NEAR(p.blue, 1.0f, 1e-6f);
    }
}

// A single bright pixel spreads into the outer product of the weights, centred on it.
TEST(GaussianBlurTest, ImpulseSpreadsAsTheKernelOuterProduct)
{
    FloatImage source = Constant(11, 9, {});
    At(source, 5, 4).red = 1.0f;
    const std::vector<float> w = GaussianKernel(3.0f, 2);
    const FloatImage result = GaussianBlur(source, 3.0f, 2, false);
    for (A_long y = 0; y < 9; ++y) {
        for (A_long x = 0; x < 11; ++x) {
            const int dx = x - 5 + 4;
            const int dy = y - 4 + 4;
            const float expected = (dx >= 0 && dx <= 8 && dy >= 0 && dy <= 8) ? w[dx] * w[dy] : 0.0f;
            EXPECT_NEAR(result.pixels[static_cast<size_t>(y * 11 + x)].red, expected, 1e-7f) << x << "," << y;
            EXPECT_EQ(result.pixels[static_cast<size_t>(y * 11 + x)].alpha, 0.0f);
        }
    }
}

// The plain separable reading: double sums in tap order, float between the passes.
FloatImage ReferenceBlur(const FloatImage &source, const std::vector<float> &w, bool clamp_edges)
{
    const A_long r = static_cast<A_long>(w.size() / 2);
    const auto pass = [&](const FloatImage &in, bool horizontal) {
        FloatImage out = Constant(in.width, in.height, {});
        for (A_long y = 0; y < in.height; ++y) {
            for (A_long x = 0; x < in.width; ++x) {
                double s[4] = {0.0, 0.0, 0.0, 0.0};
                for (A_long k = 0; k <= 2 * r; ++k) {
                    A_long sx = horizontal ? x - r + k : x;
                    A_long sy = horizontal ? y : y - r + k;
                    FloatPixel p{};
                    if (clamp_edges) {
                        sx = std::min(std::max(sx, 0), in.width - 1);
                        sy = std::min(std::max(sy, 0), in.height - 1);
                        p = in.pixels[static_cast<size_t>(sy * in.width + sx)];
                    } else if (sx >= 0 && sx < in.width && sy >= 0 && sy < in.height) {
                        p = in.pixels[static_cast<size_t>(sy * in.width + sx)];
                    }
                    s[0] += static_cast<double>(p.alpha) * static_cast<double>(w[k]);
                    s[1] += static_cast<double>(p.red) * static_cast<double>(w[k]);
                    s[2] += static_cast<double>(p.green) * static_cast<double>(w[k]);
                    s[3] += static_cast<double>(p.blue) * static_cast<double>(w[k]);
                }
                out.pixels[static_cast<size_t>(y * in.width + x)] = {
                    static_cast<float>(s[0]), static_cast<float>(s[1]), static_cast<float>(s[2]),
                    static_cast<float>(s[3])};
            }
        }
        return out;
    };
    return pass(pass(source, true), false);
}

TEST(GaussianBlurTest, MatchesThePlainReadingBitForBit)
{
    // Sizes narrower than the kernel included, so taps fall off both sides at once.
    const A_long sizes[][2] = {{13, 7}, {2, 3}, {1, 9}};
    for (const auto &size : sizes) {
        FloatImage source = Constant(size[0], size[1], {});
        uint32_t state = 12345u;
        for (FloatPixel &p : source.pixels) {
            const auto next = [&state] {
                state = state * 1664525u + 1013904223u;
                return static_cast<float>(state >> 8) / 16777216.0f * 1.5f - 0.25f;
            };
            p = {next(), next(), next(), next()};
        }
        for (float strength : {0.002f, 1.5f, 3.0f, 10.0f}) {
            for (bool clamp_edges : {false, true}) {
                const FloatImage expected = ReferenceBlur(source, GaussianKernel(strength, 2), clamp_edges);
                EXPECT_TRUE(SameBits(GaussianBlur(source, strength, 2, clamp_edges), expected))
                    << size[0] << "x" << size[1] << " strength " << strength << " clamp " << clamp_edges;
            }
        }
    }
}

TEST(GaussianBlurTest, NegligibleStrengthOrUnusableSourceIsCopied)
{
    FloatImage source = Constant(3, 2, {0.5f, 2.0f, -1.0f, 0.125f});
    At(source, 1, 1).red = 7.0f;
    EXPECT_TRUE(SameBits(GaussianBlur(source, 0.001f, 2, false), source));
    EXPECT_TRUE(SameBits(GaussianBlur(source, std::numeric_limits<float>::quiet_NaN(), 2, true), source));

    FloatImage empty;
    empty.height = 4;
    const FloatImage copied = GaussianBlur(empty, 3.0f, 2, true);
    EXPECT_EQ(copied.width, 0);
    EXPECT_EQ(copied.height, 4);
    EXPECT_FALSE(copied.IsUsable());

    // A pixel count that does not match the size is passed through, never read past.
    FloatImage short_of_pixels = Constant(4, 4, {1.0f, 1.0f, 1.0f, 1.0f});
    short_of_pixels.pixels.resize(5);
    EXPECT_TRUE(SameBits(GaussianBlur(short_of_pixels, 3.0f, 2, true), short_of_pixels));
}

} // namespace
} // namespace prismora
