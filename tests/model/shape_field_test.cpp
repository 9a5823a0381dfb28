#include "model/shape_field.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "model/effect_settings.h"

#include "support/test_world.h"

namespace prismora {
namespace {

using Cpu = CpuGlassPolicy;
using test::PanelSettings;

// Default 256 x 256 panel, radius 48, at (500, 300); a 100 x 40 stadium (radius
// 500 cut to 20); a 1-wide panel (half width raised to 1). NaN: not checked.
TEST(RectShape, KnownPixels)
{
    constexpr float n = std::numeric_limits<float>::quiet_NaN();
    constexpr float d = 0.70710677f;
    constexpr float ShapeSample::*kColumns[] = {
        &ShapeSample::coverage,    &ShapeSample::depth,    &ShapeSample::depth_norm,
        &ShapeSample::edge_factor, &ShapeSample::min_side, &ShapeSample::dir_x,
        &ShapeSample::dir_y,       &ShapeSample::normal_x, &ShapeSample::normal_y};
    EffectSettings stadium = PanelSettings();
    stadium.glass_width = 100.0f;
    stadium.glass_height = 40.0f;
    stadium.corner_radius = 500.0f;
    EffectSettings thin = PanelSettings();
    thin.glass_width = 1.0f;
    const struct {
        EffectSettings settings;
        float x, y;
        bool inside;
        float expected[9];
    } cases[] = {
        // clang-format off
        //                                     coverage depth depth_norm edge min_side dir_x dir_y normal_x normal_y
        // At the exact centre the gradient vanishes: direction and normal fall back to (1, 0).
        {PanelSettings(), 500, 300, true,  {1,   128, 0.5f,       0, 256, 1,  0, 1,  0}},
        {PanelSettings(), 618, 300, true,  {1,   10,  0.0390625f, n, 256, 1,  0, 1,  0}},
        {PanelSettings(), 410, 390, true,  {1,   n,   n,          n, n,   -d, d, -d, d}}, // corner
        {PanelSettings(), 628.5f, 300, true, {0.5f, 0, 0,         1, n,   n,  n, n,  n}}, // soft rim
        {PanelSettings(), 629.9f, 300, false, {0, n,   n,          n, n,   n,  n, n,  n}},
        {stadium,         545, 315, false, {n,   n,   n,          n, n,   n,  n, n,  n}},
        {stadium,         545, 300, true,  {n,   n,   n,          n, 40,  n,  n, n,  n}},
        {thin,            499, 300, true,  {1,   n,   n,          n, 1,   n,  n, n,  n}},
        {thin,            501.5f, 300, true, {0.5f, n, n,          n, n,   n,  n, n,  n}},
        {thin,            502, 300, false, {n,   n,   n,          n, n,   n,  n, n,  n}},
        // clang-format on
    };
    for (const auto &c : cases) {
        const ShapeSample s = RectShape<Cpu>(c.settings, c.x, c.y);
        EXPECT_EQ(s.inside, c.inside) << c.x << "," << c.y;
        for (size_t k = 0; k < 9; ++k) {
            if (!std::isnan(c.expected[k])) {
                EXPECT_NEAR(s.*kColumns[k], c.expected[k], 1e-6f) << c.x << "," << c.y << " column " << k;
            }
        }
    }
}

TEST(FinishShape, RimWidthAndFallbacks)
{
    ShapeSample s;
    s.panel_width = 100.0f;
    s.panel_height = 120.0f;
    s.local_x = 3.0f;
    const struct {
        float edge_range, depth, edge_factor;
    } cases[] = {
        {0.001f, 0.375f, 0.5f}, // 0.1 pixels raised to 0.75
        {0.0f, 0.0f, 0.0f},     // no rim at all, even on the edge
        {0.0f, 30.0f, 0.0f},
        {0.5f, -4.0f, 1.0f}, // negative depth counts as 0
    };
    for (const auto &c : cases) {
        ShapeSample r = s;
        r.depth = c.depth;
        FinishShape<Cpu>(r, c.edge_range);
        EXPECT_EQ(r.min_side, 100.0f);
        EXPECT_EQ(r.depth, c.depth > 0.0f ? c.depth : 0.0f);
        EXPECT_EQ(r.edge_factor, c.edge_factor) << c.edge_range << " " << c.depth;
        // No normal was found: it takes the direction from the centre.
        EXPECT_EQ(r.normal_x, 1.0f);
        EXPECT_EQ(r.normal_y, 0.0f);
    }
    // At the centre the direction borrows the normal.
    ShapeSample centre = s;
    centre.local_x = 0.0f;
    centre.normal_y = -1.0f;
    FinishShape<Cpu>(centre, 0.5f);
    EXPECT_EQ(centre.dir_x, 0.0f);
    EXPECT_EQ(centre.dir_y, -1.0f);
}

// A 4 x 3 grid at layer (10, 20); each distance encodes its cell.
TEST(MatteSampling, TapsAreTestedOneByOne)
{
    MatteField m = test::BoxMatte(10, 20, 4, 3, 0.0f);
    for (size_t c = 0; c < 12; ++c) {
        m.distance[c] = static_cast<float>(c / 4 * 10 + c % 4);
    }
    EXPECT_EQ(m.Sample(m.distance, 11.0f, 21.0f, -1.0f), 11.0f);
    EXPECT_EQ(m.Sample(m.distance, 11.5f, 21.5f, -1.0f), 16.5f);
    // Right column: the outer taps give the default.
    EXPECT_EQ(m.Sample(m.distance, 13.5f, 20.0f, -1.0f), (-1.0f - 3.0f) * 0.5f + 3.0f);
    // Above the grid: the upper taps give the default.
    EXPECT_EQ(m.Sample(m.distance, 10.0f, 19.25f, 7.0f), (0.0f - 7.0f) * 0.25f + 7.0f);
    EXPECT_EQ(m.Sample(m.distance, 4.0f, 21.0f, 7.0f), 7.0f);
    EXPECT_EQ(m.Sample(m.distance, 12.0f, 23.0f, 7.0f), 7.0f);
    // An empty plane or an invalid field reads the default everywhere.
    EXPECT_EQ(m.Sample(std::vector<float>{}, 11.0f, 21.0f, 0.25f), 0.25f);
    m.valid = false;
    EXPECT_EQ(m.Sample(m.distance, 11.0f, 21.0f, 0.25f), 0.25f);
}

TEST(MatteShape, CoverageDepthAndPanelComeFromTheMatte)
{
    MatteField m = test::BoxMatte(0, 0, 40, 40, 5.0f); // centred on (20, 20)
    m.alpha[21 * 40 + 7] = 0.003f;
    m.alpha[21 * 40 + 8] = 1.5f;
    EXPECT_FALSE(MatteShape<Cpu>(m, 0.5f, 7.0f, 21.0f).inside);
    EXPECT_EQ(MatteShape<Cpu>(m, 0.5f, 8.0f, 21.0f).coverage, 1.0f);
    EXPECT_FALSE(MatteShape<Cpu>(m, 0.5f, -3.0f, 21.0f).inside);

    // On a flat spot the normal points away from the matte centre.
    const ShapeSample s = MatteShape<Cpu>(m, 0.5f, 23.0f, 24.0f);
    EXPECT_TRUE(s.inside);
    EXPECT_EQ(s.depth, 5.0f);
    EXPECT_EQ(s.min_side, 40.0f);
    EXPECT_EQ(s.depth_norm, 5.0f / 40.0f);
    EXPECT_EQ(s.panel_center_y, 20.0f);
    EXPECT_EQ(s.panel_height, 40.0f);
    EXPECT_EQ(s.local_x, 3.0f);
    EXPECT_EQ(s.local_y, 4.0f);
    EXPECT_FLOAT_EQ(s.normal_x, 0.6f);
    EXPECT_FLOAT_EQ(s.normal_y, 0.8f);

    // Without distances a pixel on the glass is on the rim.
    m.distance.clear();
    const ShapeSample rim = MatteShape<Cpu>(m, 0.5f, 16.0f, 20.0f);
    EXPECT_TRUE(rim.inside);
    EXPECT_EQ(rim.depth, 0.0f);
    EXPECT_EQ(rim.edge_factor, 1.0f);
    EXPECT_FLOAT_EQ(rim.normal_x, -1.0f);
}

TEST(MatteShape, NormalIsTheNegatedGradient)
{
    MatteField m = test::BoxMatte(0, 0, 40, 40, 0.0f);
    for (size_t c = 0; c < m.distance.size(); ++c) {
        m.distance[c] = static_cast<float>(c / 40) * 0.5f + static_cast<float>(c % 40) * 0.25f;
    }
    const ShapeSample s = MatteShape<Cpu>(m, 0.5f, 30.0f, 12.0f);
    EXPECT_EQ(s.depth, 13.5f);
    EXPECT_NEAR(s.normal_x, -1.0f / std::sqrt(5.0f), 1e-6f);
    EXPECT_NEAR(s.normal_y, -2.0f / std::sqrt(5.0f), 1e-6f);
}

} // namespace
} // namespace prismora
