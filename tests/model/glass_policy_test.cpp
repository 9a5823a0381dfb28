// The glass model's primitives under the two renderers' policies: where the
// CPU and the device part ways, and the edge rules they share.
#include "model/glass_policy.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "model/bilinear.h"
#include "model/shape_field.h"

namespace prismora {
namespace {

using Cpu = CpuGlassPolicy;
using Gpu = GpuGlassPolicy;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

template <typename Policy> class BothPolicies : public ::testing::Test {
};
using Policies = ::testing::Types<Cpu, Gpu>;
TYPED_TEST_SUITE(BothPolicies, Policies);

TYPED_TEST(BothPolicies, ZeroWidthStepsAndCoverageThreshold)
{
    EXPECT_EQ(SmoothStep<TypeParam>(2.0f, 2.0f, 1.999f), 0.0f); // equal edges: a step at the edge
    EXPECT_EQ(SmoothStep<TypeParam>(2.0f, 2.0f, 2.0f), 1.0f);
    EXPECT_EQ(BandWidth<TypeParam>(0.0f, 100.0f), 0.0f); // no band at all
    EXPECT_FALSE(TypeParam::Covers(0.003f));
    EXPECT_TRUE(TypeParam::Covers(0.0031f));
}

TEST(PolicyDifferences, ZeroWidthStepsThresholdsAndFloors)
{
    // Edges a millionth apart: a ramp on the CPU, a step at edge1 on the device.
    EXPECT_NEAR(SmoothStep<Cpu>(0.0f, 5e-7f, 2.5e-7f), 0.5f, 1e-6f);
    EXPECT_EQ(SmoothStep<Gpu>(0.0f, 5e-7f, 4e-7f), 0.0f);
    EXPECT_EQ(SmoothStep<Gpu>(0.0f, 5e-7f, 5e-7f), 1.0f);
    EXPECT_NEAR(SmoothStep<Gpu>(0.0f, 2e-6f, 1e-6f), 0.5f, 1e-6f);
    // A NaN value on a zero-width step: 1 on the CPU, 0 on the device.
    EXPECT_EQ(SmoothStep<Cpu>(2.0f, 2.0f, kNaN), 1.0f);
    EXPECT_EQ(SmoothStep<Gpu>(2.0f, 2.0f, kNaN), 0.0f);

    // Vectors between a millionth and a hundred-thousandth long.
    EXPECT_EQ(Normalize2<Cpu>(3e-6f, 4e-6f).y, 0.0f);
    EXPECT_NEAR(Normalize2<Gpu>(3e-6f, 4e-6f).y, 0.8f, 1e-6f);
    EXPECT_EQ(Normalize2<Gpu>(5e-7f, 0.0f).x, 0.0f);

    // Band floors: 0.1 pixels is raised to 0.75 on the CPU, 0.5 on the device.
    EXPECT_EQ(BandWidth<Cpu>(0.001f, 100.0f), 0.75f);
    EXPECT_EQ(BandWidth<Gpu>(0.001f, 100.0f), 0.5f);

    // A NaN coverage is on the glass for the CPU only.
    EXPECT_TRUE(Cpu::Covers(kNaN));
    EXPECT_FALSE(Gpu::Covers(kNaN));

    // A NaN read position: the CPU reads the default; the device reads from
    // index 0 and mixes in NaN.
    EXPECT_FALSE(LocateBilinear<Cpu>(5, 4, kNaN, 1.0f, true).valid);
    const BilinearCell cell = LocateBilinear<Gpu>(5, 4, kNaN, 1.0f, true);
    ASSERT_TRUE(cell.valid);
    EXPECT_EQ(cell.x0, 0);
    EXPECT_TRUE(std::isnan(cell.fx));
}

TEST(RoundedBoxDistance, CentreEdgeAndRadiusLimits)
{
    EXPECT_EQ(RoundedBoxDistance(0.0f, 0.0f, 128.0f, 128.0f, 48.0f), -128.0f);
    EXPECT_EQ(RoundedBoxDistance(128.5f, 0.0f, 128.0f, 128.0f, 48.0f), 0.5f);
    // 100 x 40 with radius 500 is a stadium of radius 20; a negative radius is 0.
    EXPECT_FLOAT_EQ(RoundedBoxDistance(45.0f, 15.0f, 50.0f, 20.0f, 500.0f), std::sqrt(450.0f) - 20.0f);
    EXPECT_EQ(RoundedBoxDistance(-38.0f, -19.0f, 50.0f, 20.0f, 500.0f),
              RoundedBoxDistance(-38.0f, -19.0f, 50.0f, 20.0f, 20.0f));
    EXPECT_EQ(RoundedBoxDistance(55.0f, 25.0f, 50.0f, 20.0f, -5.0f), std::sqrt(50.0f));
}

// A 5 x 4 image: the taps and fractions of a read, the edge rule with and
// without clamping, the last column and row as their own neighbours.
TYPED_TEST(BothPolicies, BilinearReadsLandOnTheirTaps)
{
    const struct {
        float x, y;
        bool clamp, valid;
        int x0, y0, x1, y1;
        float fx, fy;
    } cases[] = {
        {1.25f, 2.5f, false, true, 1, 2, 2, 3, 0.25f, 0.5f},
        {4.0f, 3.0f, false, true, 4, 3, 4, 3, 0.0f, 0.0f},
        {3.5f, 3.0f, false, true, 3, 3, 4, 3, 0.5f, 0.0f},
        {-0.25f, 2.0f, false, false, 0, 0, 0, 0, 0.0f, 0.0f},
        {2.0f, 3.01f, false, false, 0, 0, 0, 0, 0.0f, 0.0f},
        {-0.25f, 2.0f, true, true, 0, 2, 1, 3, 0.0f, 0.0f},
        {9.0f, 7.5f, true, true, 4, 3, 4, 3, 0.0f, 0.0f},
    };
    for (const auto &c : cases) {
        const BilinearCell cell = LocateBilinear<TypeParam>(5, 4, c.x, c.y, c.clamp);
        ASSERT_EQ(cell.valid, c.valid) << c.x << "," << c.y << " clamp " << c.clamp;
        if (c.valid) {
            EXPECT_EQ((std::vector<int>{cell.x0, cell.y0, cell.x1, cell.y1}),
                      (std::vector<int>{c.x0, c.y0, c.x1, c.y1}))
                << c.x << "," << c.y;
            EXPECT_EQ(cell.fx, c.fx);
            EXPECT_EQ(cell.fy, c.fy);
        }
    }
    EXPECT_FALSE((LocateBilinear<TypeParam>(0, 4, 0.0f, 0.0f, true).valid));
}

// Plain and fused mixes round differently: (b - a) * t + a rounds the product,
// the device's fmaf does not (the double expression below is exact).
TEST(PolicyDifferences, MixesArePlainOnTheCpuAndFusedOnTheDevice)
{
    const float a = 0.2f;
    const float b = 0.9f;
    const float t = 0.3f;
    const float product = (b - a) * t;
    EXPECT_EQ(Cpu::Mix(a, b, t), product + a);
    EXPECT_EQ(Gpu::Mix(a, b, t), static_cast<float>(static_cast<double>(b - a) * t + a));
    EXPECT_NE(Cpu::Mix(a, b, t), Gpu::Mix(a, b, t));
}

} // namespace
} // namespace prismora
