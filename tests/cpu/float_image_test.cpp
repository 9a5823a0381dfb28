#include "cpu/float_image.h"

#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "support/test_world.h"

namespace prismora {
namespace {

using test::TestWorld;
using test::WorldLayout;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

uint32_t Word8(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a | (r << 8) | (g << 16) | (b << 24);
}

uint64_t Word16(uint64_t a, uint64_t r, uint64_t g, uint64_t b)
{
    return a | (r << 16) | (g << 32) | (b << 48);
}

TEST(FloatImageTest, EightBitPixelConvertsAndPacksBack)
{
    TestWorld<PF_Pixel8> world(1, 1);
    world.At(0, 0) = {255, 128, 0, 64};
    const FloatImage image = ToFloatImage<PF_Pixel8>(world.world());
    ASSERT_TRUE(image.IsUsable());
    const FloatPixel p = image.pixels[0];
    EXPECT_EQ(p.alpha, 1.0f);
    EXPECT_EQ(p.red, 0.50196081f);
    EXPECT_EQ(p.green, 0.0f);
    EXPECT_EQ(p.blue, 0.25098041f);
    EXPECT_EQ(PackPixel8(p), Word8(255, 128, 0, 64));
}

TEST(FloatImageTest, EveryEightAndSixteenBitValueSurvivesTheRoundTrip)
{
    for (uint32_t v = 0; v <= 255; ++v) {
        const float f = PixelTraits<PF_Pixel8>::ToFloat(static_cast<A_u_char>(v));
        ASSERT_EQ(PackPixel8({f, f, f, f}), Word8(v, v, v, v)) << v;
    }
    for (uint64_t v = 0; v <= 32768; ++v) {
        const float f = PixelTraits<PF_Pixel16>::ToFloat(static_cast<A_u_short>(v));
        ASSERT_EQ(PackPixel16({f, f, f, f}), Word16(v, v, v, v)) << v;
    }
    EXPECT_EQ(PixelTraits<PF_Pixel16>::ToFloat(32768), 1.0f);
    EXPECT_EQ(PixelTraits<PF_Pixel16>::ToFloat(16384), 0.5f);
}

TEST(FloatImageTest, PackingClampsAndRoundsHalfUp)
{
    EXPECT_EQ(PackPixel8({1.5f, -0.2f, 0.5f, 0.999f}), Word8(255, 0, 128, 255));
    EXPECT_EQ(PackPixel16({1.5f, -0.2f, 0.5f, 0.999f}), Word16(32768, 0, 16384, 32735));
    // 0.5 / 255 sits exactly half way: it rounds up, just below stays down.
    EXPECT_EQ(PackPixel8({0.5f / 255.0f, 0.49f / 255.0f, kInf, -kInf}), Word8(1, 0, 255, 0));
    EXPECT_EQ(PackPixel16({kInf, -kInf, 0.5f / 32768.0f, 0.0f}), Word16(32768, 0, 1, 0));
}

TEST(FloatImageTest, NanChannelsPackAsZeroWithoutDisturbingTheOthers)
{
    EXPECT_EQ(PackPixel8({kNaN, 1.0f, kNaN, 0.5f}), Word8(0, 255, 0, 128));
    EXPECT_EQ(PackPixel16({1.0f, kNaN, 0.25f, kNaN}), Word16(32768, 0, 8192, 0));
}

TEST(FloatImageTest, FloatClampKeepsBrightColourAndCutsAlpha)
{
    const FloatPixel p = ClampPixelFloat({1.5f, 2.0f, -1.0f, 0.25f});
    EXPECT_EQ(p.alpha, 1.0f);
    EXPECT_EQ(p.red, 2.0f);
    EXPECT_EQ(p.green, 0.0f);
    EXPECT_EQ(p.blue, 0.25f);

    const FloatPixel q = ClampPixelFloat({-0.5f, kNaN, kInf, -kInf});
    EXPECT_EQ(q.alpha, 0.0f);
    EXPECT_EQ(q.red, 0.0f);
    EXPECT_EQ(q.green, kInf);
    EXPECT_EQ(q.blue, 0.0f);
    EXPECT_TRUE(std::isnan(ClampPixelFloat({kNaN, 0.0f, 0.0f, 0.0f}).alpha));
}

TEST(FloatImageTest, FloatWorldKeepsValuesOutsideZeroToOne)
{
    TestWorld<PF_PixelFloat> world(2, 1);
    world.At(1, 0) = {1.0f, 3.0f, -0.5f, 0.25f};
    const FloatImage image = ToFloatImage<PF_PixelFloat>(world.world());
    ASSERT_TRUE(image.IsUsable());
    EXPECT_EQ(image.pixels[1].red, 3.0f);
    EXPECT_EQ(image.pixels[1].green, -0.5f);
}

TEST(FloatImageTest, WorldWithoutPixelsGivesAnEmptyImage)
{
    TestWorld<PF_Pixel8> zero_width(0, 3);
    TestWorld<PF_Pixel8> zero_height(3, 0);
    TestWorld<PF_Pixel8> no_data(3, 3);
    no_data.world().data = nullptr;
    for (const PF_EffectWorld *world : {&zero_width.world(), &zero_height.world(), &no_data.world()}) {
        const FloatImage image = ToFloatImage<PF_Pixel8>(*world);
        EXPECT_EQ(image.width, 0);
        EXPECT_EQ(image.height, 0);
        EXPECT_TRUE(image.pixels.empty());
        EXPECT_FALSE(image.IsUsable());
    }
}

template <typename Pixel> class FloatImageDepthTest : public ::testing::Test {
};
TYPED_TEST_SUITE(FloatImageDepthTest, test::PixelTypes);

// Padded, offset and bottom-up worlds: every pixel lands at y * width + x and
// nothing of the padding (filled with 0xCD) is read.
TYPED_TEST(FloatImageDepthTest, ConvertsEveryLayoutRowByRow)
{
    for (const WorldLayout layout :
         {WorldLayout{}, WorldLayout{12, 5, -7, false}, WorldLayout{8, 0, 0, true}}) {
        TestWorld<TypeParam> world(5, 3, layout);
        for (A_long y = 0; y < 3; ++y) {
            for (A_long x = 0; x < 5; ++x) {
                const float v = static_cast<float>(y * 5 + x) / 16.0f;
                world.SetFloat(x, y, {v, 1.0f - v, v * 0.5f, 0.75f});
            }
        }
        const FloatImage image = ToFloatImage<TypeParam>(world.world());
        ASSERT_EQ(image.width, 5);
        ASSERT_EQ(image.height, 3);
        ASSERT_EQ(image.pixels.size(), 15u);
        for (A_long y = 0; y < 3; ++y) {
            for (A_long x = 0; x < 5; ++x) {
                const FloatPixel expected = world.GetFloat(x, y);
                const FloatPixel actual = image.pixels[static_cast<size_t>(y * 5 + x)];
                EXPECT_EQ(std::memcmp(&expected, &actual, sizeof(FloatPixel)), 0) << x << "," << y;
            }
        }
    }
}

TYPED_TEST(FloatImageDepthTest, AlphaReadsInsideOnlyAndFromTheRightRow)
{
    TestWorld<TypeParam> world(3, 2, WorldLayout{8, 4, 4, true});
    world.SetFloat(2, 1, {1.0f, 0.0f, 0.0f, 0.0f});
    world.SetFloat(0, 0, {0.5f, 0.0f, 0.0f, 0.0f});
    EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), 2, 1), 1.0f);
    EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), 0, 0), world.GetFloat(0, 0).alpha);
    EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), 2, 0), 0.0f);
    // Outside the world: the neighbouring padding and guard rows are never touched.
    EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), -1, 0), 0.0f);
    EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), 3, 0), 0.0f);
    EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), 0, -1), 0.0f);
    EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), 0, 2), 0.0f);
    world.world().data = nullptr;
    EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), 2, 1), 0.0f);
}

TEST(FloatImageTest, FloatAlphaIsClampedToZeroToOne)
{
    TestWorld<PF_PixelFloat> world(2, 1);
    world.At(0, 0).alpha = 1.7f;
    world.At(1, 0).alpha = -0.3f;
    EXPECT_EQ(WorldAlphaAt<PF_PixelFloat>(world.world(), 0, 0), 1.0f);
    EXPECT_EQ(WorldAlphaAt<PF_PixelFloat>(world.world(), 1, 0), 0.0f);
}

} // namespace
} // namespace prismora
