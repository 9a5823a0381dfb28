#include "shading/image_sampling.h"

#include <gtest/gtest.h>

#include "support/test_world.h"

namespace prismora {
namespace {

using test::TestWorld;
using test::WorldLayout;

void ExpectSamePixel(const FloatPixel &actual, const FloatPixel &expected)
{
    EXPECT_EQ(actual.alpha, expected.alpha);
    EXPECT_EQ(actual.red, expected.red);
    EXPECT_EQ(actual.green, expected.green);
    EXPECT_EQ(actual.blue, expected.blue);
}

FloatImage UniformImage(A_long width, A_long height, const FloatPixel &p)
{
    FloatImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), p);
    return image;
}

// Distinct values in every channel and pixel, so a swapped tap or channel shows.
template <typename Pixel> void FillPattern(TestWorld<Pixel> &world)
{
    for (A_long y = 0; y < world.height(); ++y) {
        for (A_long x = 0; x < world.width(); ++x) {
            const float v = static_cast<float>(x * 7 + y * 3) / 64.0f;
            world.SetFloat(x, y, {0.9f - v * 0.5f, v, 0.25f + v * 0.5f, 1.0f - v});
        }
    }
}

template <typename Pixel> class WorldSampling : public ::testing::Test {
};
TYPED_TEST_SUITE(WorldSampling, test::PixelTypes);

TYPED_TEST(WorldSampling, LastPixelIsExactWithOrWithoutClamp)
{
    TestWorld<TypeParam> world(5, 4, WorldLayout{12, 0, 0, true});
    FillPattern(world);
    for (const bool clamp : {false, true}) {
        ExpectSamePixel(SampleWorldBilinear<TypeParam>(world.world(), 4.0f, 3.0f, clamp),
                        world.GetFloat(4, 3));
    }
}

TYPED_TEST(WorldSampling, OutsideIsTransparentUnlessClamped)
{
    TestWorld<TypeParam> world(5, 4);
    FillPattern(world);
    ExpectSamePixel(SampleWorldBilinear<TypeParam>(world.world(), -0.25f, 2.0f, false), FloatPixel{});
    ExpectSamePixel(SampleWorldBilinear<TypeParam>(world.world(), -0.25f, 2.0f, true), world.GetFloat(0, 2));
    ExpectSamePixel(SampleWorldBilinear<TypeParam>(world.world(), 2.0f, 3.01f, false), FloatPixel{});
    ExpectSamePixel(SampleWorldBilinear<TypeParam>(world.world(), 9.0f, 7.5f, true), world.GetFloat(4, 3));
}

TYPED_TEST(WorldSampling, InterpolatesRowsThenColumns)
{
    TestWorld<TypeParam> world(5, 4, WorldLayout{8, 0, 0, false});
    FillPattern(world);
    const float x = 1.3f;
    const float y = 2.85f;
    const float fx = x - 1.0f;
    const float fy = y - 2.0f;
    const FloatPixel p00 = world.GetFloat(1, 2), p10 = world.GetFloat(2, 2);
    const FloatPixel p01 = world.GetFloat(1, 3), p11 = world.GetFloat(2, 3);
    const auto mix = [&](float a00, float a10, float a01, float a11) {
        const float top = (a10 - a00) * fx + a00;
        const float bottom = (a11 - a01) * fx + a01;
        return (bottom - top) * fy + top;
    };
    const FloatPixel p = SampleWorldBilinear<TypeParam>(world.world(), x, y, false);
    EXPECT_EQ(p.alpha, mix(p00.alpha, p10.alpha, p01.alpha, p11.alpha));
    EXPECT_EQ(p.red, mix(p00.red, p10.red, p01.red, p11.red));
    EXPECT_EQ(p.green, mix(p00.green, p10.green, p01.green, p11.green));
    EXPECT_EQ(p.blue, mix(p00.blue, p10.blue, p01.blue, p11.blue));
}

TEST(WorldSampling, MissingWorldReadsTransparent)
{
    TestWorld<PF_Pixel16> world(3, 3);
    world.Fill({1.0f, 1.0f, 1.0f, 1.0f});
    PF_EffectWorld empty = world.world();
    empty.width = 0;
    ExpectSamePixel(SampleWorldBilinear<PF_Pixel16>(empty, 0.0f, 0.0f, true), FloatPixel{});
    PF_EffectWorld no_data = world.world();
    no_data.data = nullptr;
    ExpectSamePixel(SampleWorldBilinear<PF_Pixel16>(no_data, 1.0f, 1.0f, true), FloatPixel{});
}

TEST(WorldSampling, MidpointBetweenTwoValues)
{
    TestWorld<PF_PixelFloat> world(4, 1);
    world.SetFloat(2, 0, {0.2f, 0.2f, 0.2f, 0.2f});
    world.SetFloat(3, 0, {0.6f, 0.6f, 0.6f, 0.6f});
    EXPECT_FLOAT_EQ(SampleWorldBilinear<PF_PixelFloat>(world.world(), 2.5f, 0.0f, false).red, 0.4f);
}

TEST(WorldSampling, FullScaleOfIntegerDepths)
{
    TestWorld<PF_Pixel8> w8(1, 1);
    w8.At(0, 0) = PF_Pixel8{255, 255, 0, 128};
    const FloatPixel p8 = SampleWorldBilinear<PF_Pixel8>(w8.world(), 0.0f, 0.0f, false);
    EXPECT_EQ(p8.alpha, 1.0f);
    EXPECT_EQ(p8.green, 0.0f);
    EXPECT_EQ(p8.blue, 128.0f / 255.0f);

    TestWorld<PF_Pixel16> w16(1, 1);
    w16.At(0, 0) = PF_Pixel16{32768, 16384, 0, 1};
    const FloatPixel p16 = SampleWorldBilinear<PF_Pixel16>(w16.world(), 0.0f, 0.0f, false);
    EXPECT_EQ(p16.alpha, 1.0f);
    EXPECT_EQ(p16.red, 0.5f);
    EXPECT_EQ(p16.blue, 1.0f / 32768.0f);
}

TEST(FloatImageSampling, FollowsTheWorldRules)
{
    FloatImage image = UniformImage(3, 2, {});
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const float v = static_cast<float>(i);
        image.pixels[i] = {1.0f, v, v * 2.0f, v * 4.0f};
    }
    // Unpadded rows: pixel (col, row) is element row * width + col.
    ExpectSamePixel(SampleFloatImageBilinear(image, 1.0f, 1.0f, false), image.pixels[4]);
    EXPECT_EQ(SampleFloatImageBilinear(image, 1.5f, 0.5f, false).red, 3.0f);
    ExpectSamePixel(SampleFloatImageBilinear(image, 2.0f, 1.0f, false), image.pixels[5]);
    ExpectSamePixel(SampleFloatImageBilinear(image, 2.0f, 1.0f, true), image.pixels[5]);
    ExpectSamePixel(SampleFloatImageBilinear(image, -0.25f, 0.0f, false), FloatPixel{});
    ExpectSamePixel(SampleFloatImageBilinear(image, -0.25f, 0.0f, true), image.pixels[0]);
    ExpectSamePixel(SampleFloatImageBilinear(image, 5.0f, 3.0f, true), image.pixels[5]);
}

TEST(FloatImageSampling, UnusableImageReadsTransparent)
{
    FloatImage image = UniformImage(3, 2, {1.0f, 1.0f, 1.0f, 1.0f});
    image.pixels.pop_back();
    ExpectSamePixel(SampleFloatImageBilinear(image, 0.0f, 0.0f, true), FloatPixel{});
}

// Uniform images make each branch's result a known mix of three constants.
class BlurredSampling : public ::testing::Test {
protected:
    BlurredSampling() : world_(6, 5)
    {
        world_.Fill(sharp_);
        half_ = UniformImage(6, 5, {0.4f, 0.3f, 0.6f, 0.1f});
        full_ = UniformImage(6, 5, {0.2f, 0.9f, 0.05f, 0.7f});
    }

    FloatPixel Sample(const FloatImage *half, const FloatImage *full, float amount, float max)
    {
        return SampleBlurred<PF_PixelFloat>(world_.world(), half, full, 2.5f, 1.25f, amount, max, false);
    }

    FloatPixel sharp_{1.0f, 0.5f, 0.25f, 0.8f};
    TestWorld<PF_PixelFloat> world_;
    FloatImage half_;
    FloatImage full_;
};

TEST_F(BlurredSampling, TooLittleBlurReadsSharp)
{
    ExpectSamePixel(Sample(&half_, &full_, 0.0005f, 3.0f), sharp_);
    ExpectSamePixel(Sample(&half_, nullptr, 2.0f, 3.0f), sharp_);
    ExpectSamePixel(Sample(&half_, &full_, 2.0f, 0.001f), sharp_);
}

TEST_F(BlurredSampling, FadesThroughTheHalfBlur)
{
    ExpectSamePixel(Sample(&half_, &full_, 1.5f, 3.0f), MixPixels(sharp_, half_.pixels[0], 1.0f));
    ExpectSamePixel(Sample(&half_, &full_, 0.75f, 3.0f), MixPixels(sharp_, half_.pixels[0], 0.5f));
    ExpectSamePixel(Sample(&half_, &full_, 3.0f, 3.0f), MixPixels(half_.pixels[0], full_.pixels[0], 1.0f));
    ExpectSamePixel(Sample(&half_, &full_, 2.25f, 3.0f), MixPixels(half_.pixels[0], full_.pixels[0], 0.5f));
    ExpectSamePixel(Sample(&half_, &full_, 9.0f, 3.0f), MixPixels(half_.pixels[0], full_.pixels[0], 1.0f));
    EXPECT_FLOAT_EQ(Sample(&half_, &full_, 0.75f, 3.0f).red, 0.4f);
}

TEST_F(BlurredSampling, WithoutAUsableHalfBlurFadesStraightToFull)
{
    FloatImage broken = half_;
    broken.pixels.pop_back();
    const FloatPixel expected = MixPixels(sharp_, full_.pixels[0], 0.75f);
    ExpectSamePixel(Sample(nullptr, &full_, 2.25f, 3.0f), expected);
    ExpectSamePixel(Sample(&broken, &full_, 2.25f, 3.0f), expected);
    // A half level of 0.001 or less is no level at all.
    const float t = 0.0015f / 0.002f;
    ExpectSamePixel(Sample(&half_, &full_, 0.0015f, 0.002f), MixPixels(sharp_, full_.pixels[0], t));
}

} // namespace
} // namespace prismora
