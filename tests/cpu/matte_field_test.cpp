#include "cpu/matte_field.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "cpu/matte_chamfer.h"
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

std::vector<uint8_t> FullMask(A_long width, A_long height)
{
    return std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height), 1);
}

template <typename Pixel> class MatteFieldTest : public ::testing::Test {
protected:
    static void FillSquare(TestWorld<Pixel> &world, A_long x, A_long y, A_long size, const FloatPixel &value)
    {
        for (A_long j = y; j < y + size; ++j) {
            for (A_long i = x; i < x + size; ++i) {
                world.SetFloat(i, j, value);
            }
        }
    }
};
TYPED_TEST_SUITE(MatteFieldTest, test::PixelTypes);

TYPED_TEST(MatteFieldTest, SingleOpaquePixel)
{
    TestWorld<TypeParam> world(30, 30);
    world.SetFloat(10, 10, kOpaque);
    MatteField field;
    ASSERT_TRUE(BuildMatteField<TypeParam>(world.world(), field));
    EXPECT_TRUE(field.valid);
    EXPECT_EQ(field.left, 10.0f);
    EXPECT_EQ(field.top, 10.0f);
    EXPECT_EQ(field.right, 11.0f);
    EXPECT_EQ(field.bottom, 11.0f);
    EXPECT_EQ(field.center_x, 10.5f);
    EXPECT_EQ(field.center_y, 10.5f);
    EXPECT_EQ(field.width, 1.0f);
    EXPECT_EQ(field.height, 1.0f);
    EXPECT_EQ(field.grid_x, 8);
    EXPECT_EQ(field.grid_y, 8);
    ASSERT_EQ(field.grid_width, 5);
    ASSERT_EQ(field.grid_height, 5);
    ASSERT_EQ(field.distance.size(), 25u);
    ASSERT_EQ(field.alpha.size(), 25u);
    for (A_long j = 0; j < 5; ++j) {
        for (A_long i = 0; i < 5; ++i) {
            const bool centre = i == 2 && j == 2;
            EXPECT_EQ(Cell(field.distance, 5, i, j), centre ? 0.0f : -1.0f) << i << "," << j;
            EXPECT_EQ(Cell(field.alpha, 5, i, j), centre ? 1.0f : 0.0f) << i << "," << j;
        }
    }
}

TYPED_TEST(MatteFieldTest, OpaqueSquareIsSmoothedTowardsItsRim)
{
    TestWorld<TypeParam> world(9, 9);
    this->FillSquare(world, 2, 2, 5, kOpaque);
    MatteField field;
    ASSERT_TRUE(BuildMatteField<TypeParam>(world.world(), field));
    ASSERT_EQ(field.grid_width, 9);
    ASSERT_EQ(field.grid_height, 9);
    EXPECT_EQ(field.width, 5.0f);
    EXPECT_EQ(field.center_x, 4.5f);
    // Centre: (2 * 2 + 8 * 1) / 10 from the unsmoothed chamfer distances.
    EXPECT_EQ(Cell(field.distance, 9, 4, 4), 1.2f);
    // Rim corner (2, 2): itself 0, inside neighbours 0, 0 and 1 -> 1 / 5.
    EXPECT_EQ(Cell(field.distance, 9, 2, 2), 0.2f);
    EXPECT_EQ(Cell(field.distance, 9, 1, 4), -1.0f);
}

TEST(MatteChamferTest, SquareRingsAndCentre)
{
    // The 5x5 square of the test above, inside a one-cell outside ring.
    std::vector<uint8_t> mask(49, 0);
    for (A_long j = 1; j <= 5; ++j) {
        for (A_long i = 1; i <= 5; ++i) {
            mask[static_cast<size_t>(j * 7 + i)] = 1;
        }
    }
    const std::vector<float> dist = ChamferDistance(mask, 7, 7);
    EXPECT_EQ(Cell(dist, 7, 3, 3), 2.0f);
    EXPECT_EQ(Cell(dist, 7, 2, 2), 1.0f);
    EXPECT_EQ(Cell(dist, 7, 4, 3), 1.0f);
    EXPECT_EQ(Cell(dist, 7, 1, 1), 0.0f);
    EXPECT_EQ(Cell(dist, 7, 5, 3), 0.0f);
    EXPECT_EQ(Cell(dist, 7, 0, 0), -1.0f);
    EXPECT_EQ(Cell(SmoothDistance(mask, dist, 7, 7), 7, 3, 3), 1.2f);
}

// A cell whose nearest seed is only diagonal takes the diagonal step; one hole
// for each of the four diagonals, two reached in the forward pass, two backward.
TEST(MatteChamferTest, DiagonalStepsInBothPasses)
{
    const A_long holes[][2] = {{3, 4}, {7, 4}, {7, 6}, {3, 6}};
    for (const auto &hole : holes) {
        std::vector<uint8_t> mask = FullMask(11, 11);
        mask[static_cast<size_t>(hole[1] * 11 + hole[0])] = 0;
        EXPECT_EQ(Cell(ChamferDistance(mask, 11, 11), 11, 5, 5), 1.4142135f) << hole[0] << "," << hole[1];
    }

    // Far from any hole, distance grows along the grid rim's rings.
    const std::vector<float> open = ChamferDistance(FullMask(11, 11), 11, 11);
    EXPECT_EQ(Cell(open, 11, 5, 5), 5.0f);
    EXPECT_EQ(Cell(open, 11, 1, 3), 1.0f);
}

TYPED_TEST(MatteFieldTest, WorldCoveringMatteIsClippedAndSeededAtTheBorder)
{
    TestWorld<TypeParam> world(6, 4, WorldLayout{8, -3, 2, true});
    world.Fill(kOpaque);
    MatteField field;
    ASSERT_TRUE(BuildMatteField<TypeParam>(world.world(), field));
    EXPECT_EQ(field.grid_x, -3);
    EXPECT_EQ(field.grid_y, 2);
    EXPECT_EQ(field.grid_width, 6);
    EXPECT_EQ(field.grid_height, 4);
    EXPECT_EQ(field.left, -3.0f);
    EXPECT_EQ(field.right, 3.0f);
    EXPECT_EQ(field.top, 2.0f);
    EXPECT_EQ(field.bottom, 6.0f);
    EXPECT_EQ(field.center_x, 0.0f);
    EXPECT_EQ(field.center_y, 4.0f);

    const std::vector<float> dist = ChamferDistance(FullMask(6, 4), 6, 4);
    for (A_long i = 0; i < 6; ++i) {
        EXPECT_EQ(Cell(dist, 6, i, 0), 0.0f);
        EXPECT_EQ(Cell(dist, 6, i, 3), 0.0f);
    }
    EXPECT_EQ(Cell(dist, 6, 0, 1), 0.0f);
    EXPECT_EQ(Cell(dist, 6, 5, 2), 0.0f);
    EXPECT_EQ(Cell(dist, 6, 2, 1), 1.0f);
    // (1, 1): itself 1 twice, neighbours five rim zeros and three ones -> 5 / 10.
    EXPECT_EQ(Cell(field.distance, 6, 1, 1), 0.5f);
    // Corner: itself 0, neighbours 0, 0, 1 -> 1 / 5.
    EXPECT_EQ(Cell(field.distance, 6, 0, 0), 0.2f);
}

TYPED_TEST(MatteFieldTest, OriginShiftsCoordinatesButNotContent)
{
    TestWorld<TypeParam> plain(20, 12);
    TestWorld<TypeParam> shifted(20, 12, WorldLayout{0, 100, -50, false});
    for (TestWorld<TypeParam> *world : {&plain, &shifted}) {
        this->FillSquare(*world, 4, 3, 6, kOpaque);
        world->SetFloat(10, 5, {0.25f, 0.0f, 0.0f, 0.0f});
    }
    MatteField a;
    MatteField b;
    ASSERT_TRUE(BuildMatteField<TypeParam>(plain.world(), a));
    ASSERT_TRUE(BuildMatteField<TypeParam>(shifted.world(), b));
    EXPECT_EQ(b.grid_x, a.grid_x + 100);
    EXPECT_EQ(b.grid_y, a.grid_y - 50);
    EXPECT_EQ(b.left, a.left + 100.0f);
    EXPECT_EQ(b.right, a.right + 100.0f);
    EXPECT_EQ(b.top, a.top - 50.0f);
    EXPECT_EQ(b.bottom, a.bottom - 50.0f);
    EXPECT_EQ(b.center_x, a.center_x + 100.0f);
    EXPECT_EQ(b.width, a.width);
    EXPECT_EQ(a.grid_x, 2);
    EXPECT_EQ(a.grid_width, 11); // faint column 10 widens the box, margin 2
    EXPECT_EQ(b.grid_width, a.grid_width);
    EXPECT_EQ(b.grid_height, a.grid_height);
    EXPECT_EQ(b.distance, a.distance);
    EXPECT_EQ(b.alpha, a.alpha);
}

TYPED_TEST(MatteFieldTest, FaintMatteIsValidButHasNoInside)
{
    TestWorld<TypeParam> world(8, 8);
    this->FillSquare(world, 3, 3, 2, {0.25f, 0.0f, 0.0f, 0.0f});
    world.SetFloat(4, 4, {0.49f, 0.0f, 0.0f, 0.0f});
    MatteField field;
    ASSERT_TRUE(BuildMatteField<TypeParam>(world.world(), field));
    EXPECT_EQ(field.grid_x, 1);
    EXPECT_EQ(field.grid_width, 6);
    for (float d : field.distance) {
        EXPECT_EQ(d, -1.0f);
    }
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
    EXPECT_FALSE(field.valid);
}

TEST(MatteFieldFloatTest, VisibilityThresholdIsStrict)
{
    TestWorld<PF_PixelFloat> world(5, 5);
    world.Fill({0.003f, 1.0f, 1.0f, 1.0f});
    MatteField field;
    EXPECT_FALSE(BuildMatteField<PF_PixelFloat>(world.world(), field));
    world.At(1, 3).alpha = 0.0031f;
    ASSERT_TRUE(BuildMatteField<PF_PixelFloat>(world.world(), field));
    EXPECT_EQ(field.left, 1.0f);
    EXPECT_EQ(field.top, 3.0f);
}

TEST(MatteFieldFloatTest, InsideThresholdIncludesOneHalf)
{
    TestWorld<PF_PixelFloat> world(5, 5);
    world.At(2, 2).alpha = 0.5f;
    world.At(3, 2).alpha = 0.49999997f;
    MatteField field;
    ASSERT_TRUE(BuildMatteField<PF_PixelFloat>(world.world(), field));
    EXPECT_EQ(Cell(field.distance, field.grid_width, 2, 2), 0.0f);
    EXPECT_EQ(Cell(field.distance, field.grid_width, 3, 2), -1.0f);
}

} // namespace
} // namespace prismora
