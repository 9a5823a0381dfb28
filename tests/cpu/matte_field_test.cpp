// The distances and smoothing show against the device's in whole Full Frame frames
// (tests/hostsim/gpu_frames_test.cpp); here the bounds, grid, thresholds and
// border seeds those frames cannot reach.
#include "cpu/matte_field_builder.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/test_world.h"

namespace prismora {
namespace {

using test::TestWorld;
using test::WorldLayout;

constexpr FloatPixel kOpaque{1.0f, 1.0f, 1.0f, 1.0f};

float Cell(const std::vector<float> &plane, A_long width, A_long i, A_long j)
{
    return plane[static_cast<size_t>(j) * static_cast<size_t>(width) + static_cast<size_t>(i)];
}

template <typename Pixel>
void FillSquare(TestWorld<Pixel> &world, A_long x, A_long y, A_long size, float alpha)
{
    for (A_long j = y; j < y + size; ++j) {
        for (A_long i = x; i < x + size; ++i) {
            world.SetFloat(i, j, {alpha, 1.0f, 1.0f, 1.0f});
        }
    }
}

void ExpectBounds(const MatteField &f, const float (&bounds)[8], const A_long (&grid)[4])
{
    const float actual[8] = {f.left, f.top, f.right, f.bottom, f.center_x, f.center_y, f.width, f.height};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(actual[k], bounds[k]) << "bound " << k;
    }
    EXPECT_EQ(f.grid_x, grid[0]);
    EXPECT_EQ(f.grid_y, grid[1]);
    EXPECT_EQ(f.grid_width, grid[2]);
    EXPECT_EQ(f.grid_height, grid[3]);
}

template <typename Pixel> class MatteFieldTest : public ::testing::Test {
};
TYPED_TEST_SUITE(MatteFieldTest, test::PixelTypes);

TYPED_TEST(MatteFieldTest, WorldCoveringMatteIsClippedAndSeededAtTheBorder)
{
    TestWorld<TypeParam> world(6, 4, WorldLayout{8, -3, 2, true});
    world.Fill(kOpaque);
    MatteField field;
    ASSERT_TRUE(BuildMatteField<TypeParam>(world.world(), field));
    ExpectBounds(field, {-3, 2, 3, 6, 0, 4, 6, 4}, {-3, 2, 6, 4});
    // Border cells are seeds: rim 0, first ring 1. (1, 1): itself 1 twice, five
    // rim zeros and three ones -> 5 / 10; corner: 0, 0, 0, 1 -> 1 / 5; right
    // border (5, 2): 0 twice, neighbours 1, 0, 1, 0, 0 -> 2 / 7.
    EXPECT_EQ(Cell(field.distance, 6, 1, 1), 0.5f);
    EXPECT_EQ(Cell(field.distance, 6, 0, 0), 0.2f);
    EXPECT_EQ(Cell(field.distance, 6, 5, 2), 2.0f / 7.0f);
}

TYPED_TEST(MatteFieldTest, OriginShiftsCoordinatesButNotContent)
{
    TestWorld<TypeParam> plain(20, 12);
    TestWorld<TypeParam> shifted(20, 12, WorldLayout{0, 100, -50, false});
    for (TestWorld<TypeParam> *world : {&plain, &shifted}) {
        FillSquare(*world, 4, 3, 6, 1.0f);
        world->SetFloat(10, 5, {0.25f, 0.0f, 0.0f, 0.0f}); // faint column 10 widens the box
    }
    MatteField a;
    MatteField b;
    ASSERT_TRUE(BuildMatteField<TypeParam>(plain.world(), a));
    ASSERT_TRUE(BuildMatteField<TypeParam>(shifted.world(), b));
    ExpectBounds(a, {4, 3, 11, 9, 7.5f, 6, 7, 6}, {2, 1, 11, 10});
    ExpectBounds(b, {104, -47, 111, -41, 107.5f, -44, 7, 6}, {102, -49, 11, 10});
    EXPECT_EQ(b.distance, a.distance);
    EXPECT_EQ(b.alpha, a.alpha);
}

TYPED_TEST(MatteFieldTest, FaintMatteIsValidButHasNoInside)
{
    TestWorld<TypeParam> world(8, 8);
    FillSquare(world, 3, 3, 2, 0.25f);
    world.SetFloat(4, 4, {0.49f, 0.0f, 0.0f, 0.0f});
    MatteField field;
    ASSERT_TRUE(BuildMatteField<TypeParam>(world.world(), field));
    EXPECT_EQ(field.grid_x, 1);
    EXPECT_EQ(field.grid_width, 6);
    EXPECT_EQ(field.distance, std::vector<float>(36, -1.0f));
    EXPECT_EQ(Cell(field.alpha, 6, 2, 2), world.GetFloat(3, 3).alpha);
    EXPECT_EQ(Cell(field.alpha, 6, 3, 3), world.GetFloat(4, 4).alpha);
    EXPECT_EQ(Cell(field.alpha, 6, 0, 0), 0.0f);
}

TYPED_TEST(MatteFieldTest, NoVisiblePixelLeavesTheFieldInvalid)
{
    MatteField field;
    TestWorld<TypeParam> opaque(4, 4);
    opaque.Fill(kOpaque);
    ASSERT_TRUE(BuildMatteField<TypeParam>(opaque.world(), field));

    // A failed build resets what an earlier one left behind.
    TestWorld<TypeParam> clear(4, 4);
    EXPECT_FALSE(BuildMatteField<TypeParam>(clear.world(), field));
    EXPECT_FALSE(field.valid);
    EXPECT_EQ(field.grid_width, 0);
    EXPECT_TRUE(field.distance.empty());
    EXPECT_TRUE(field.alpha.empty());

    opaque.world().data = nullptr;
    EXPECT_FALSE(BuildMatteField<TypeParam>(opaque.world(), field));
    TestWorld<TypeParam> empty(0, 4);
    EXPECT_FALSE(BuildMatteField<TypeParam>(empty.world(), field));
}

// Visible is strictly above 0.003; inside is 0.5 and above.
TEST(MatteFieldFloatTest, Thresholds)
{
    TestWorld<PF_PixelFloat> world(5, 5);
    world.Fill({0.003f, 1.0f, 1.0f, 1.0f});
    MatteField field;
    EXPECT_FALSE(BuildMatteField<PF_PixelFloat>(world.world(), field));
    world.At(1, 3).alpha = 0.0031f;
    world.At(2, 2).alpha = 0.5f;
    world.At(3, 2).alpha = 0.49999997f;
    ASSERT_TRUE(BuildMatteField<PF_PixelFloat>(world.world(), field));
    EXPECT_EQ(field.left, 1.0f);
    EXPECT_EQ(field.top, 2.0f);
    EXPECT_EQ(Cell(field.distance, field.grid_width, 2, 2), 0.0f);
    EXPECT_EQ(Cell(field.distance, field.grid_width, 3, 2), -1.0f);
}

} // namespace
} // namespace prismora
