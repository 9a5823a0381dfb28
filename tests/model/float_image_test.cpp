#include "model/float_image.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "model/pixel_traits.h"
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

TEST(FloatImageTest, EveryEightAndSixteenBitValueSurvivesTheRoundTrip)
{
    volatile float white = 255.0f; // divided at run time
    for (uint32_t v = 0; v <= 255; ++v) {
        const float f = PixelTraits<PF_Pixel8>::ToFloat(static_cast<A_u_char>(v));
        ASSERT_EQ(f, static_cast<float>(v) / white) << v;
        ASSERT_EQ(PackPixel8({f, f, f, f}), Word8(v, v, v, v)) << v;
    }
    for (uint64_t v = 0; v <= 32768; ++v) {
        const float f = PixelTraits<PF_Pixel16>::ToFloat(static_cast<A_u_short>(v));
        ASSERT_EQ(PackPixel16({f, f, f, f}), Word16(v, v, v, v)) << v;
    }
    EXPECT_EQ(PixelTraits<PF_Pixel16>::ToFloat(32768), 1.0f);
    EXPECT_EQ(PixelTraits<PF_Pixel16>::ToFloat(16384), 0.5f);
}

// Upper bound tested first, rounding half up, NaN channels written as 0.
TEST(FloatImageTest, PackingClampsAndRoundsHalfUp)
{
    const struct {
        FloatPixel in;
        uint32_t word8;
        uint64_t word16;
    } cases[] = {
        {{1.5f, -0.2f, 0.5f, 0.999f}, Word8(255, 0, 128, 255), Word16(32768, 0, 16384, 32735)},
        {{0.5f / 255.0f, 0.49f / 255.0f, kInf, -kInf}, Word8(1, 0, 255, 0), Word16(64, 63, 32768, 0)},
        {{kNaN, 1.0f, kNaN, 0.5f}, Word8(0, 255, 0, 128), Word16(0, 32768, 0, 16384)},
        {{0.5f / 32768.0f, kNaN, 0.25f, kNaN}, Word8(0, 0, 64, 0), Word16(1, 0, 8192, 0)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(PackPixel8(c.in), c.word8) << c.in.alpha << "," << c.in.red;
        EXPECT_EQ(PackPixel16(c.in), c.word16) << c.in.alpha << "," << c.in.red;
    }
}

TEST(FloatImageTest, FloatClampKeepsBrightColourAndCutsAlpha)
{
    EXPECT_TRUE(test::SameBits(ClampPixelFloat({1.5f, 2.0f, -1.0f, 0.25f}), {1.0f, 2.0f, 0.0f, 0.25f}));
    EXPECT_TRUE(test::SameBits(ClampPixelFloat({-0.5f, kNaN, kInf, -kInf}), {0.0f, 0.0f, kInf, 0.0f}));
    EXPECT_TRUE(std::isnan(ClampPixelFloat({kNaN, 0.0f, 0.0f, 0.0f}).alpha));
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
    }
}

template <typename Pixel> class FloatImageDepthTest : public ::testing::Test {
};
TYPED_TEST_SUITE(FloatImageDepthTest, test::PixelTypes);

TYPED_TEST(FloatImageDepthTest, AlphaReadsInsideOnlyAndFromTheRightRow)
{
    TestWorld<TypeParam> world(3, 2, WorldLayout{8, 4, 4, true});
    world.SetFloat(2, 1, {1.0f, 0.0f, 0.0f, 0.0f});
    world.SetFloat(0, 0, {0.5f, 0.0f, 0.0f, 0.0f});
    world.SetFloat(1, 0, {1.7f, 0.0f, 0.0f, 0.0f}); // float worlds keep it; the read clamps
    world.SetFloat(1, 1, {-0.3f, 0.0f, 0.0f, 0.0f});
    const A_long cells[][3] = {{2, 1, 1},  {0, 0, 0}, {1, 0, 1},  {1, 1, 0}, {2, 0, 0},
                               {-1, 0, 0}, {3, 0, 0}, {0, -1, 0}, {0, 2, 0}};
    for (const auto &c : cells) {
        const float expected = c[0] == 0 && c[1] == 0 ? world.GetFloat(0, 0).alpha : static_cast<float>(c[2]);
        EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), c[0], c[1]), expected) << c[0] << "," << c[1];
    }
    world.world().data = nullptr;
    EXPECT_EQ(WorldAlphaAt<TypeParam>(world.world(), 2, 1), 0.0f);
}

} // namespace
} // namespace prismora
