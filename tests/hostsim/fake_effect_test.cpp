// The host's machinery against the fake effect: checkout geometry, the books
// and null injection. Failure injection is run by every failure test of the effect.
#include <array>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "fake_effect_state.h"
#include "hostsim/host.h"
#include "hostsim/host_error.h"

namespace prismora::hostsim::test {
namespace {

// Every pixel different, so a shifted or misplaced copy shows.
World Pattern(A_long width, A_long height, PixelFormat format)
{
    World w(width, height, format);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            w.Set(x, y, {1.0f - 0.02f * static_cast<float>(y), 0.03f * static_cast<float>(x), 0.5f, 0.25f});
        }
    }
    return w;
}

std::array<A_long, 4> Edges(const PF_LRect &r)
{
    return {r.left, r.top, r.right, r.bottom};
}

class FakeHost : public ::testing::Test {
protected:
    void SetUp() override { MakeHost({}); }

    void MakeHost(HostOptions options)
    {
        host_ = std::make_unique<Host>(HOSTSIM_FAKE_EFFECT, options);
        Reset();
        host_->Start();
    }
    void Reset()
    {
        reinterpret_cast<FakeEffectResetFunc>(host_->Symbol("FakeEffect_Reset"))();
        host_->books().Reset();
    }
    FakeEffectState &state()
    {
        return *reinterpret_cast<FakeEffectStateFunc>(host_->Symbol("FakeEffect_State"))();
    }
    Host &host() { return *host_; }

    void ExpectBalancedBooks()
    {
        const std::vector<std::string> imbalances = host_->books().Imbalances();
        EXPECT_TRUE(imbalances.empty()) << ::testing::PrintToString(imbalances);
    }

    std::unique_ptr<Host> host_;
};

class Depths : public FakeHost, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { MakeHost({.row_padding_bytes = 12}); }
};

TEST_P(Depths, TheCheckoutIsTheExpandedRequestClippedToTheLayer)
{
    const PixelFormat format = FormatForDepth(GetParam());
    const World input = Pattern(19, 11, format);
    FrameJob job = host().NewFrame(input, GetParam());
    job.request = PF_LRect{5, 1, 17, 9}; // expanded by the margin of 4
    const FrameResult frame = host().Render(job);
    ASSERT_EQ(frame.err, PF_Err_NONE);
    EXPECT_EQ(state().output_format, SdkPixelFormat(format));
    EXPECT_EQ(frame.output.origin_x(), 5);
    EXPECT_EQ(frame.output.origin_y(), 1);
    EXPECT_TRUE(frame.output.SamePixels(input.Crop({5, 1, 17, 9})));

    ASSERT_EQ(frame.tiles.size(), 1u);
    const LayerRequest &in = frame.tiles[0].checkouts.at(0);
    EXPECT_EQ(in.index, 0);
    EXPECT_EQ(Edges(in.requested), (std::array<A_long, 4>{1, -3, 21, 13}));
    EXPECT_EQ(Edges(in.delivered), (std::array<A_long, 4>{1, 0, 19, 11}));
    EXPECT_EQ(frame.tiles[0].result_rect.right, 17);
    EXPECT_EQ(state().deletes, 1);
    ExpectBalancedBooks();
}

INSTANTIATE_TEST_SUITE_P(Bits, Depths, ::testing::Values(8, 16, 32));

TEST_F(FakeHost, TheBooksShowWhatTheEffectKept)
{
    const World input = Pattern(6, 6, PixelFormat::kArgb32);
    struct Case {
        std::atomic<bool> FakeEffectState::*knob;
        const char *shows;
    };
    const Case cases[] = {{&FakeEffectState::keep_a_param, "checkout_param"},
                          {&FakeEffectState::keep_input_pixels, "checkout id 0"},
                          {&FakeEffectState::keep_a_suite, "PF World Suite"},
                          {&FakeEffectState::leak_a_world, "not disposed"}};
    for (const Case &c : cases) {
        Reset();
        state().*c.knob = true;
        ASSERT_EQ(host().Render(host().NewFrame(input, 8)).err, PF_Err_NONE);
        const std::string all = ::testing::PrintToString(host().books().Imbalances());
        EXPECT_NE(all.find(c.shows), std::string::npos) << c.shows << " not in " << all;
    }
    EXPECT_EQ(host().books().Totals().effect_worlds_leaked, 1);
}

TEST_F(FakeHost, NullPointersReachTheEffectWhereAsked)
{
    const World input = Pattern(8, 8, PixelFormat::kArgb32);
    struct Case {
        bool NullInjection::*field;
        RenderPath path;
        PF_Err expected;
        int deletes;
    };
    const Case cases[] = {
        {&NullInjection::in_data, RenderPath::kSmart, PF_Err_BAD_CALLBACK_PARAM, 0},
        {&NullInjection::pre_render_extra, RenderPath::kSmart, PF_Err_BAD_CALLBACK_PARAM, 0},
        {&NullInjection::smart_render_extra, RenderPath::kSmart, PF_Err_BAD_CALLBACK_PARAM, 1},
        {&NullInjection::pre_render_data, RenderPath::kSmart, PF_Err_INTERNAL_STRUCT_DAMAGED, 1},
        {&NullInjection::output_data, RenderPath::kSmart, PF_Err_BAD_CALLBACK_PARAM, 1},
        {&NullInjection::input_pixels, RenderPath::kSmart, PF_Err_NONE, 1},
        {&NullInjection::in_data, RenderPath::kLegacy, PF_Err_BAD_CALLBACK_PARAM, 0},
        {&NullInjection::params, RenderPath::kLegacy, PF_Err_BAD_CALLBACK_PARAM, 0},
        {&NullInjection::output, RenderPath::kLegacy, PF_Err_BAD_CALLBACK_PARAM, 0},
        {&NullInjection::output_data, RenderPath::kLegacy, PF_Err_BAD_CALLBACK_PARAM, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        Reset();
        FrameJob job = host().NewFrame(input, 8);
        job.path = c.path;
        job.nulls.*(c.field) = true;
        const FrameResult frame = host().Render(job);
        EXPECT_EQ(frame.err, c.expected);
        EXPECT_EQ(state().deletes, c.deletes);
        EXPECT_TRUE(frame.output.SamePixels(World(8, 8, PixelFormat::kArgb32))) << "nothing is written";
        ExpectBalancedBooks();
    }
}

TEST(World, RowsArePaddedWithAMarkAndACropKeepsLayerPositions)
{
    World w = Pattern(3, 2, PixelFormat::kArgb32).Clone({5, 0, 0});
    EXPECT_EQ(w.pf().rowbytes, 3 * 4 + 5);
    for (A_long y = 0; y < 2; ++y) {
        const auto *pad = reinterpret_cast<const unsigned char *>(w.PixelBytes(2, y)) + 4;
        EXPECT_EQ(std::string(pad, pad + 5), std::string(5, '\xCD'));
    }
    const World crop = w.Crop({1, 1, 3, 2}, 8);
    EXPECT_EQ(crop.origin_x(), 1);
    EXPECT_EQ(crop.pf().rowbytes, 2 * 4 + 8);
    EXPECT_EQ(crop.Get(0, 0), w.Get(1, 1));
    EXPECT_THROW(w.Crop({-1, 0, 2, 2}), HostError);
}

} // namespace
} // namespace prismora::hostsim::test
