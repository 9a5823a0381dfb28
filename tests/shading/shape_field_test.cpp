#include "shading/shape_field.h"

#include <cmath>

#include <gtest/gtest.h>

namespace prismora {
namespace {

EffectSettings PanelSettings()
{
    EffectSettings settings;
    settings.center_x = 500.0f;
    settings.center_y = 300.0f;
    return settings;
}

TEST(ShapePrimitives, SmoothStep)
{
    EXPECT_EQ(SmoothStep(0.0f, 1.0f, 0.5f), 0.5f);
    EXPECT_EQ(SmoothStep(0.0f, 1.0f, -3.0f), 0.0f);
    EXPECT_EQ(SmoothStep(0.0f, 1.0f, 7.0f), 1.0f);
    EXPECT_EQ(SmoothStep(0.0f, 4.0f, 1.0f), (3.0f - (0.25f + 0.25f)) * (0.25f * 0.25f));
    // Equal edges make a step that includes the edge itself.
    EXPECT_EQ(SmoothStep(2.0f, 2.0f, 1.999f), 0.0f);
    EXPECT_EQ(SmoothStep(2.0f, 2.0f, 2.0f), 1.0f);
}

TEST(ShapePrimitives, RoundedBoxDistanceClampsTheRadius)
{
    EXPECT_EQ(RoundedBoxDistance(0.0f, 0.0f, 128.0f, 128.0f, 48.0f), -128.0f);
    EXPECT_EQ(RoundedBoxDistance(128.5f, 0.0f, 128.0f, 128.0f, 48.0f), 0.5f);
    // 100 x 40 with radius 500 is a stadium of radius 20.
    for (const float px : {50.0f, 45.0f, -38.0f}) {
        for (const float py : {0.0f, 15.0f, -19.0f}) {
            EXPECT_EQ(RoundedBoxDistance(px, py, 50.0f, 20.0f, 500.0f),
                      RoundedBoxDistance(px, py, 50.0f, 20.0f, 20.0f));
        }
    }
    EXPECT_FLOAT_EQ(RoundedBoxDistance(45.0f, 15.0f, 50.0f, 20.0f, 500.0f), std::sqrt(450.0f) - 20.0f);
    EXPECT_EQ(RoundedBoxDistance(0.0f, 0.0f, 50.0f, 20.0f, -5.0f), -20.0f);
}

TEST(RectShape, PanelCentre)
{
    const ShapeSample s = ComputeRectShape(PanelSettings(), 500.0f, 300.0f);
    EXPECT_TRUE(s.inside);
    EXPECT_EQ(s.coverage, 1.0f);
    EXPECT_EQ(s.depth, 128.0f);
    EXPECT_EQ(s.min_side, 256.0f);
    EXPECT_EQ(s.depth_norm, 0.5f);
    EXPECT_EQ(s.edge_factor, 0.0f);
    // The gradient vanishes at the centre of a square, so both fall back to (1, 0).
    EXPECT_EQ(s.dir_x, 1.0f);
    EXPECT_EQ(s.dir_y, 0.0f);
    EXPECT_EQ(s.normal_x, 1.0f);
    EXPECT_EQ(s.normal_y, 0.0f);
    EXPECT_EQ(s.panel_center_x, 500.0f);
    EXPECT_EQ(s.panel_width, 256.0f);
}

TEST(RectShape, SoftRimIsOnePixelWide)
{
    const EffectSettings settings = PanelSettings();
    const ShapeSample half = ComputeRectShape(settings, 628.5f, 300.0f);
    EXPECT_TRUE(half.inside);
    EXPECT_EQ(half.coverage, 0.5f);
    EXPECT_EQ(half.depth, 0.0f);
    EXPECT_EQ(half.edge_factor, 1.0f);

    const ShapeSample off = ComputeRectShape(settings, 629.9f, 300.0f);
    EXPECT_FALSE(off.inside);
    EXPECT_EQ(off.coverage, 0.0f);

    const ShapeSample near = ComputeRectShape(settings, 618.0f, 300.0f);
    EXPECT_EQ(near.depth, 10.0f);
    EXPECT_FLOAT_EQ(near.depth_norm, 0.0390625f);
    EXPECT_FLOAT_EQ(near.normal_x, 1.0f);
    EXPECT_FLOAT_EQ(near.normal_y, 0.0f);
    EXPECT_EQ(near.dir_x, 1.0f);
}

TEST(RectShape, StadiumCutsTheCorners)
{
    EffectSettings settings = PanelSettings();
    settings.glass_width = 100.0f;
    settings.glass_height = 40.0f;
    settings.corner_radius = 500.0f;
    EXPECT_FALSE(ComputeRectShape(settings, 545.0f, 315.0f).inside);
    EXPECT_TRUE(ComputeRectShape(settings, 545.0f, 300.0f).inside);
    EXPECT_EQ(ComputeRectShape(settings, 500.0f, 300.0f).min_side, 40.0f);
}

TEST(RectShape, ThinnestPanelIsTwoPixelsWide)
{
    EffectSettings settings = PanelSettings();
    settings.glass_width = 1.0f;
    EXPECT_EQ(ComputeRectShape(settings, 501.0f, 300.0f).coverage, 1.0f);
    EXPECT_EQ(ComputeRectShape(settings, 499.0f, 300.0f).coverage, 1.0f);
    EXPECT_EQ(ComputeRectShape(settings, 501.5f, 300.0f).coverage, 0.5f);
    EXPECT_FALSE(ComputeRectShape(settings, 502.0f, 300.0f).inside);
    EXPECT_EQ(ComputeRectShape(settings, 500.0f, 300.0f).min_side, 1.0f);
}

TEST(FinishShape, RimWidth)
{
    ShapeSample s;
    s.inside = true;
    s.panel_width = 100.0f;
    s.panel_height = 120.0f;
    s.local_x = 3.0f;
    s.depth = 0.375f;

    EffectSettings settings;
    settings.edge_range = 0.001f; // 0.1 pixels, raised to 0.75
    ShapeSample floor = s;
    FinishShape(floor, settings);
    EXPECT_EQ(floor.min_side, 100.0f);
    EXPECT_EQ(floor.edge_factor, 0.5f);

    settings.edge_range = 0.0f;
    for (const float depth : {0.0f, 0.375f, 30.0f}) {
        ShapeSample none = s;
        none.depth = depth;
        FinishShape(none, settings);
        EXPECT_EQ(none.edge_factor, 0.0f);
    }

    settings.edge_range = 0.5f;
    ShapeSample negative = s;
    negative.depth = -4.0f;
    FinishShape(negative, settings);
    EXPECT_EQ(negative.depth, 0.0f);
    EXPECT_EQ(negative.edge_factor, 1.0f);
    // No normal was found: it takes the direction from the centre.
    EXPECT_EQ(negative.normal_x, 1.0f);
    EXPECT_EQ(negative.normal_y, 0.0f);
}

// A 4 x 3 grid at layer (10, 20); values encode their cell.
MatteField SmallMatte()
{
    MatteField m;
    m.valid = true;
    m.center_x = 12.0f;
    m.center_y = 21.5f;
    m.width = 4.0f;
    m.height = 3.0f;
    m.grid_x = 10;
    m.grid_y = 20;
    m.grid_width = 4;
    m.grid_height = 3;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            m.distance.push_back(static_cast<float>(r * 10 + c));
            m.alpha.push_back(1.0f);
        }
    }
    return m;
}

TEST(MatteSampling, TapsAreTestedOneByOne)
{
    const MatteField m = SmallMatte();
    EXPECT_EQ(SampleMatteField(m, m.distance, 11.0f, 21.0f, -1.0f), 11.0f);
    EXPECT_EQ(SampleMatteField(m, m.distance, 11.5f, 21.5f, -1.0f), 16.5f);
    // Right column: the outer taps give the default.
    EXPECT_EQ(SampleMatteField(m, m.distance, 13.5f, 20.0f, -1.0f), (-1.0f - 3.0f) * 0.5f + 3.0f);
    // Above the grid: the upper taps give the default.
    EXPECT_EQ(SampleMatteField(m, m.distance, 10.0f, 19.25f, 7.0f), (0.0f - 7.0f) * 0.25f + 7.0f);
    EXPECT_EQ(SampleMatteField(m, m.distance, 4.0f, 21.0f, 7.0f), 7.0f);
    EXPECT_EQ(SampleMatteField(m, m.distance, 12.0f, 23.0f, 7.0f), 7.0f);
}

TEST(MatteSampling, InvalidOrEmptyPlanesGiveTheDefault)
{
    MatteField m = SmallMatte();
    EXPECT_EQ(SampleMatteField(m, std::vector<float>{}, 11.0f, 21.0f, 0.25f), 0.25f);
    m.distance.resize(5); // not the grid's size
    EXPECT_EQ(SampleMatteField(m, m.distance, 11.0f, 21.0f, 0.25f), 0.25f);
    m.valid = false;
    EXPECT_EQ(SampleMatteField(m, m.alpha, 11.0f, 21.0f, 0.25f), 0.25f);
}

// A 40 x 40 grid at layer (0, 0) with the matte box centred on (20, 25).
MatteField FlatMatte(float distance)
{
    MatteField m;
    m.valid = true;
    m.center_x = 20.0f;
    m.center_y = 25.0f;
    m.width = 30.0f;
    m.height = 36.0f;
    m.grid_width = 40;
    m.grid_height = 40;
    m.distance.assign(1600, distance);
    m.alpha.assign(1600, 1.0f);
    return m;
}

TEST(MatteShape, CoverageComesFromTheAlphaPlane)
{
    MatteField m = FlatMatte(5.0f);
    m.alpha[21 * 40 + 7] = 0.002f;
    m.alpha[21 * 40 + 8] = 1.5f;
    const EffectSettings settings;
    EXPECT_FALSE(ComputeMatteShape(m, settings, 7.0f, 21.0f).inside);
    EXPECT_EQ(ComputeMatteShape(m, settings, 8.0f, 21.0f).coverage, 1.0f);
    const ShapeSample outside = ComputeMatteShape(m, settings, -3.0f, 21.0f);
    EXPECT_FALSE(outside.inside);
    EXPECT_EQ(outside.coverage, 0.0f);

    const ShapeSample s = ComputeMatteShape(m, settings, 8.0f, 22.0f);
    EXPECT_TRUE(s.inside);
    EXPECT_EQ(s.depth, 5.0f);
    EXPECT_EQ(s.min_side, 30.0f);
    EXPECT_EQ(s.depth_norm, 5.0f / 30.0f);
    EXPECT_EQ(s.panel_center_y, 25.0f);
    EXPECT_EQ(s.panel_height, 36.0f);
    EXPECT_EQ(s.local_x, -12.0f);
    EXPECT_EQ(s.local_y, -3.0f);
}

TEST(MatteShape, FlatSpotNormalPointsAwayFromTheCentre)
{
    const MatteField m = FlatMatte(5.0f);
    const ShapeSample s = ComputeMatteShape(m, EffectSettings{}, 23.0f, 29.0f);
    EXPECT_FLOAT_EQ(s.normal_x, 0.6f);
    EXPECT_FLOAT_EQ(s.normal_y, 0.8f);
}

TEST(MatteShape, WithoutDistancesDepthIsZero)
{
    MatteField m = FlatMatte(0.0f);
    m.distance.clear();
    const ShapeSample s = ComputeMatteShape(m, EffectSettings{}, 16.0f, 25.0f);
    EXPECT_TRUE(s.inside);
    EXPECT_EQ(s.depth, 0.0f);
    EXPECT_EQ(s.edge_factor, 1.0f);
    EXPECT_FLOAT_EQ(s.normal_x, -1.0f);
    EXPECT_FLOAT_EQ(s.normal_y, 0.0f);
}

TEST(MatteShape, NormalIsTheNegatedGradient)
{
    MatteField m = FlatMatte(0.0f);
    for (int r = 0; r < 40; ++r) {
        for (int c = 0; c < 40; ++c) {
            m.distance[static_cast<size_t>(r * 40 + c)] = static_cast<float>(r) * 0.5f; // deeper downwards
        }
    }
    const ShapeSample s = ComputeMatteShape(m, EffectSettings{}, 30.0f, 12.0f);
    EXPECT_EQ(s.depth, 6.0f);
    EXPECT_FLOAT_EQ(s.normal_x, 0.0f);
    EXPECT_FLOAT_EQ(s.normal_y, -1.0f);
}

} // namespace
} // namespace prismora
