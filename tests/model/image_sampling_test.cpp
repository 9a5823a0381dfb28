#include "model/image_sampling.h"

#include <gtest/gtest.h>

#include "support/test_world.h"

namespace prismora {
namespace {

using test::SameBits;
using test::TestWorld;
using test::UniformImage;
using test::WorldLayout;

// Distinct values in every channel and pixel, so a swapped tap or channel shows.
FloatPixel PatternAt(A_long x, A_long y)
{
    const float v = static_cast<float>(x * 7 + y * 3) / 37.0f;
    return {0.9f - v * 0.5f, v, 0.25f + v * 0.5f, 1.0f - v};
}

// (b - a) * t + a, channel by channel.
FloatPixel Mix(const FloatPixel &a, const FloatPixel &b, float t)
{
    return {(b.alpha - a.alpha) * t + a.alpha, (b.red - a.red) * t + a.red, (b.green - a.green) * t + a.green,
            (b.blue - a.blue) * t + a.blue};
}

// The plain reading: convert, then top row, bottom row, between them.
FloatPixel Bilinear(const FloatPixel &p00, const FloatPixel &p10, const FloatPixel &p01,
                    const FloatPixel &p11, float fx, float fy)
{
    return Mix(Mix(p00, p10, fx), Mix(p01, p11, fx), fy);
}

template <typename Pixel> class WorldSampling : public ::testing::Test {
};
TYPED_TEST_SUITE(WorldSampling, test::PixelTypes);

// The world and a float image of the same pixels read alike (the edge rule
// itself: tests/model/glass_policy_test.cpp).
TYPED_TEST(WorldSampling, InterpolatesAndTreatsEdgesAlike)
{
    TestWorld<TypeParam> world(5, 4, WorldLayout{12, 0, 0, true});
    FloatImage image = UniformImage(5, 4, {});
    for (A_long y = 0; y < 4; ++y) {
        for (A_long x = 0; x < 5; ++x) {
            world.SetFloat(x, y, PatternAt(x, y));
            image.pixels[static_cast<size_t>(y * 5 + x)] = world.GetFloat(x, y);
        }
    }
    const auto px = [&](A_long x, A_long y) { return world.GetFloat(x, y); };
    const struct {
        float x, y;
        bool clamp;
        FloatPixel expected;
    } cases[] = {
        {1.3f, 2.85f, false, Bilinear(px(1, 2), px(2, 2), px(1, 3), px(2, 3), 1.3f - 1.0f, 2.85f - 2.0f)},
        {0.7f, 0.1f, true, Bilinear(px(0, 0), px(1, 0), px(0, 1), px(1, 1), 0.7f, 0.1f)},
        {-0.25f, 2.0f, false, FloatPixel{}},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(SameBits(SampleWorldBilinear<TypeParam>(world.world(), c.x, c.y, c.clamp), c.expected))
            << c.x << "," << c.y << " clamp " << c.clamp;
        EXPECT_TRUE(SameBits(SampleFloatImageBilinear(image, c.x, c.y, c.clamp), c.expected))
            << c.x << "," << c.y << " clamp " << c.clamp;
    }
}

TEST(WorldSampling, MissingSourcesReadTransparent)
{
    TestWorld<PF_Pixel16> world(3, 3);
    world.Fill({1.0f, 1.0f, 1.0f, 1.0f});
    PF_EffectWorld empty = world.world();
    empty.width = 0;
    EXPECT_TRUE(SameBits(SampleWorldBilinear<PF_Pixel16>(empty, 0.0f, 0.0f, true), FloatPixel{}));
    PF_EffectWorld no_data = world.world();
    no_data.data = nullptr;
    EXPECT_TRUE(SameBits(SampleWorldBilinear<PF_Pixel16>(no_data, 1.0f, 1.0f, true), FloatPixel{}));
    FloatImage short_image = UniformImage(3, 2, {1.0f, 1.0f, 1.0f, 1.0f});
    short_image.pixels.pop_back();
    EXPECT_TRUE(SameBits(SampleFloatImageBilinear(short_image, 0.0f, 0.0f, true), FloatPixel{}));
}

// Uniform images make each branch's result a known mix of three constants.
TEST(BlurredSampling, FadesFromSharpThroughHalfToFull)
{
    const FloatPixel sharp{1.0f, 0.5f, 0.25f, 0.8f};
    TestWorld<PF_PixelFloat> world(6, 5);
    world.Fill(sharp);
    const FloatImage half = UniformImage(6, 5, {0.4f, 0.3f, 0.6f, 0.1f});
    const FloatImage full = UniformImage(6, 5, {0.2f, 0.9f, 0.05f, 0.7f});
    FloatImage broken = half;
    broken.pixels.pop_back();
    const FloatPixel h = half.pixels[0];
    const FloatPixel f = full.pixels[0];
    const struct {
        const FloatImage *half, *full;
        float amount, max;
        FloatPixel expected;
    } cases[] = {
        {&half, &full, 0.0005f, 3.0f, sharp},
        {&half, nullptr, 2.0f, 3.0f, sharp},
        {&half, &full, 2.0f, 0.001f, sharp},
        {&half, &full, 1.5f, 3.0f, Mix(sharp, h, 1.0f)},
        {&half, &full, 0.75f, 3.0f, Mix(sharp, h, 0.5f)},
        {&half, &full, 3.0f, 3.0f, Mix(h, f, 1.0f)},
        {&half, &full, 2.25f, 3.0f, Mix(h, f, 0.5f)},
        {&half, &full, 9.0f, 3.0f, Mix(h, f, 1.0f)},
        // Without a usable half image, or a half level of 0.001 or less, straight to full.
        {nullptr, &full, 2.25f, 3.0f, Mix(sharp, f, 0.75f)},
        {&broken, &full, 2.25f, 3.0f, Mix(sharp, f, 0.75f)},
        {&half, &full, 0.0015f, 0.002f, Mix(sharp, f, 0.0015f / 0.002f)},
    };
    for (const auto &c : cases) {
        const FloatPixel p =
            SampleBlurred<PF_PixelFloat>(world.world(), c.half, c.full, 2.5f, 1.25f, c.amount, c.max, false);
        EXPECT_TRUE(SameBits(p, c.expected)) << c.amount << " of " << c.max;
    }
}

} // namespace
} // namespace prismora
