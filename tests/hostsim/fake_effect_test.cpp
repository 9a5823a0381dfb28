// The host's frame machinery against the fake effect: checkout geometry,
// tiles, the matte layer, the plain render command and the books.
#include <gtest/gtest.h>

#include "hostsim_fixture.h"

namespace prismora::hostsim::test {
namespace {

// What the fake computes: the input at the same layer position (shifted by
// the margin in Shift mode), alpha times the matte's.
World Expected(const World &input, const PF_LRect &rect, A_long shift, const World *matte = nullptr)
{
    World out(rect.right - rect.left, rect.bottom - rect.top, input.format(), {0, rect.left, rect.top});
    for (A_long y = rect.top; y < rect.bottom; ++y) {
        for (A_long x = rect.left; x < rect.right; ++x) {
            if (x + shift >= input.width()) {
                continue;
            }
            FloatArgb p = input.Get(x + shift, y);
            if (matte) {
                p.alpha *= matte->Get(x, y).alpha;
            }
            out.Set(x - rect.left, y - rect.top, p);
        }
    }
    return out;
}

class DepthTest : public FakeHostTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { MakeHost({.row_padding_bytes = 12}); }
    PixelFormat format() const { return FormatForDepth(GetParam()); }
};

TEST_P(DepthTest, SmartRenderChecksOutTheExpandedRequestClippedToTheLayer)
{
    const World input = NoiseWorld(19, 11, format(), 1);
    const FrameResult frame = host().Render(host().NewFrame(input, GetParam()));
    ASSERT_EQ(frame.err, PF_Err_NONE);
    EXPECT_TRUE(frame.output.SamePixels(input));
    EXPECT_EQ(state().output_format, SdkPixelFormat(format()));

    ASSERT_EQ(frame.tiles.size(), 1u);
    const LayerRequest &in = frame.tiles[0].checkouts.at(0);
    EXPECT_EQ(in.index, 0);
    EXPECT_EQ(in.requested.left, -4);
    EXPECT_EQ(in.requested.bottom, 15);
    EXPECT_EQ(in.delivered.left, 0);
    EXPECT_EQ(in.delivered.right, 19);
    EXPECT_EQ(in.delivered.bottom, 11);
    EXPECT_EQ(state().deletes, 1);
    ExpectBalancedBooks();
}

TEST_P(DepthTest, TilesAssembleToTheWholeFrame)
{
    const World input = NoiseWorld(23, 17, format(), 2);
    FrameJob job = host().NewFrame(input, GetParam());
    job.params.SetPopup(kFakeMode, 2);
    job.params.SetFloat(kFakeMargin, 3);
    const FrameResult whole = host().Render(job);
    job.tile_width = 7;
    job.tile_height = 5;
    const FrameResult tiled = host().Render(job);
    ASSERT_EQ(tiled.err, PF_Err_NONE);
    EXPECT_TRUE(tiled.output.SamePixels(whole.output));
    EXPECT_TRUE(whole.output.SamePixels(Expected(input, input.LayerRect(), 3)));

    ASSERT_EQ(tiled.tiles.size(), 4u * 4u);
    const TileReport &last = tiled.tiles.back(); // x 21..23, y 15..17
    EXPECT_EQ(last.rect.left, 21);
    EXPECT_EQ(last.rect.bottom, 17);
    EXPECT_EQ(last.checkouts.at(0).delivered.left, 18);
    EXPECT_EQ(last.checkouts.at(0).delivered.top, 12);
    EXPECT_EQ(last.checkouts.at(0).delivered.right, 23);
    EXPECT_EQ(state().deletes, 1 + 16);
    ExpectBalancedBooks();
}

INSTANTIATE_TEST_SUITE_P(Depths, DepthTest, ::testing::Values(8, 16, 32));

using SmartFrames = FakeHostTest;

TEST_F(SmartFrames, OneRequestGivesAnOutputAtItsRectangle)
{
    const World input = NoiseWorld(30, 20, PixelFormat::kArgb128, 4);
    FrameJob job = host().NewFrame(input, 32);
    job.request = PF_LRect{5, 6, 17, 9};
    const FrameResult frame = host().Render(job);
    ASSERT_EQ(frame.err, PF_Err_NONE);
    EXPECT_EQ(frame.output.origin_x(), 5);
    EXPECT_EQ(frame.output.origin_y(), 6);
    EXPECT_TRUE(frame.output.SamePixels(input.Crop({5, 6, 17, 9})));
    EXPECT_EQ(frame.tiles[0].result_rect.right, 17);
}

TEST_F(SmartFrames, TheMatteLayerIsCheckedOutUnderItsOwnId)
{
    const World input = NoiseWorld(12, 8, PixelFormat::kArgb64, 5);
    const World matte = NoiseWorld(12, 8, PixelFormat::kArgb64, 6);
    FrameJob job = host().NewFrame(input, 16);
    job.params.SetLayer(kFakeMatte, &matte);
    job.tile_width = job.tile_height = 5;
    const FrameResult frame = host().Render(job);
    ASSERT_EQ(frame.err, PF_Err_NONE);
    EXPECT_TRUE(state().matte_checked_out);
    EXPECT_EQ(frame.tiles[0].checkouts.at(1).index, kFakeMatte);
    EXPECT_TRUE(frame.output.SamePixels(Expected(input, input.LayerRect(), 0, &matte)));
    ExpectBalancedBooks();

    const World wrong_depth(12, 8, PixelFormat::kArgb32);
    job.params.SetLayer(kFakeMatte, &wrong_depth);
    EXPECT_THROW(host().Render(job), HostError);
}

TEST_F(SmartFrames, TheBooksShowWhatTheEffectKept)
{
    const World input = NoiseWorld(6, 6, PixelFormat::kArgb32, 7);
    struct Case {
        std::atomic<bool> FakeEffectState::*knob;
        const char *shows;
    };
    const Case cases[] = {{&FakeEffectState::keep_a_param, "checkout_param"},
                          {&FakeEffectState::keep_input_pixels, "checkout id 0"},
                          {&FakeEffectState::keep_a_suite, "PF World Suite"},
                          {&FakeEffectState::leak_a_world, "not disposed"}};
    for (const Case &c : cases) {
        host().books().Reset();
        ResetFake(host());
        state().*c.knob = true;
        ASSERT_EQ(host().Render(host().NewFrame(input, 8)).err, PF_Err_NONE);
        const std::vector<std::string> found = host().books().Imbalances();
        std::string all;
        for (const std::string &line : found) {
            all += line + "\n";
        }
        EXPECT_NE(all.find(c.shows), std::string::npos) << c.shows << " not in:\n" << all;
    }
    EXPECT_EQ(host().books().Totals().effect_worlds_leaked, 1);
}

TEST_F(SmartFrames, TheFormatMustMatchTheDepthAndTheParamsTheEffect)
{
    const World input(4, 4, PixelFormat::kArgb32);
    EXPECT_THROW(host().Render(host().NewFrame(input, 16)), HostError);
    FrameJob job = host().NewFrame(input, 8);
    job.params = ParamSet();
    EXPECT_THROW(host().Render(job), HostError);
    EXPECT_EQ(host().About(), "Fake Effect\rfor the host's tests");
}

} // namespace
} // namespace prismora::hostsim::test
