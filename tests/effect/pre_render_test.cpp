#include "effect/pre_render.h"

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/param_index.h"
#include "support/fake_smart_host.h"
#include "support/scoped_log_dir.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::FakeSmartHost;
using test::ScopedLogDir;
using test::TestWorld;
using Rect = std::array<A_long, 4>;

const std::vector<PF_ParamIndex> kExpectedCheckouts = {2,  3,  4,  5,  8,  9,  10, 11, 12, 13, 16,
                                                       17, 18, 19, 20, 21, 22, 23, 24, 27, 28};

Rect R(const PF_LRect &r)
{
    return {r.left, r.top, r.right, r.bottom};
}

// Frees the record the way the host does after the frame.
void ReleaseRecord(FakeSmartHost &host)
{
    if (host.pre_output.delete_pre_render_data_func != nullptr) {
        host.pre_output.delete_pre_render_data_func(host.pre_output.pre_render_data);
    }
}

const PreRenderData &Record(const FakeSmartHost &host)
{
    return *static_cast<const PreRenderData *>(host.pre_output.pre_render_data);
}

TEST(PreRenderTest, ExpandsTheInputRequestAndReportsTheRequestAsResult)
{
    ScopedLogDir log;
    FakeSmartHost host;
    // The panel of the worked example: 400 x 300, distortion 30 %, blur 30, shift 4.
    host.SetSlider(kParamGlassWidth, 400.0);
    host.SetSlider(kParamGlassHeight, 300.0);
    host.SetSlider(kParamDistortionScale, 30.0);
    host.SetSlider(kParamBlurIntensity, 30.0);
    host.SetSlider(kParamChromaticShift, 4.0);
    host.SetRequest(100, 50, 740, 410);
    host.pre_input.output_request.channel_mask = PF_ChannelMask_RED;
    host.pre_output.solid = 1;

    ASSERT_EQ(PreRender(host.in_data(), host.pre_render_extra()), PF_Err_NONE);
    EXPECT_EQ(host.param_checkouts, kExpectedCheckouts);
    EXPECT_EQ(host.param_checkins, kExpectedCheckouts);
    ASSERT_EQ(host.layer_requests.size(), 1u);
    const FakeSmartHost::LayerRequest &input = host.layer_requests[0];
    EXPECT_EQ(input.index, 0);
    EXPECT_EQ(input.checkout_id, 0);
    // m = 30 * 0.1 * 0.42 * 3 + 200 * 0.3 + 4 + 8 = 75.78
    EXPECT_EQ(R(input.request.rect), (Rect{100 - 76, 50 - 76, 740 + 76, 410 + 76}));
    EXPECT_EQ(input.request.channel_mask, PF_ChannelMask_ARGB);
    EXPECT_EQ(input.request.preserve_rgb_of_zero_alpha, 1);
    EXPECT_EQ(
        (std::array<A_long, 3>{input.what_time, input.time_step, static_cast<A_long>(input.time_scale)}),
        (std::array<A_long, 3>{12, 3, 24}));
    EXPECT_EQ(R(host.pre_output.result_rect), (Rect{100, 50, 740, 410}));
    EXPECT_EQ(R(host.pre_output.max_result_rect), (Rect{100, 50, 740, 410}));
    EXPECT_EQ(host.pre_output.solid, 0);
    ASSERT_NE(host.pre_output.pre_render_data, nullptr);
    EXPECT_EQ(Record(host).settings.glass_width, 400.0f);
    EXPECT_FALSE(Record(host).alpha_matte_requested);
    ReleaseRecord(host);
}

TEST(PreRenderTest, ExpansionFollowsQualityMarginsAndFullFrameRequest)
{
    EffectSettings s;
    s.glass_width = 400.0f;
    s.glass_height = 300.0f;
    s.distortion_scale = 0.3f;
    s.blur_intensity = 30.0f;
    s.chromatic_shift = 4.0f;
    const PF_LRect request{0, 0, 1920, 1080};
    EXPECT_EQ(RequestExpansion(s, request), 76); // 75.78
    s.quality = 1;
    EXPECT_EQ(RequestExpansion(s, request), 76); // 75.15
    s.quality = 3;
    EXPECT_EQ(RequestExpansion(s, request), 77); // 4.41 + 60 + 12

    // Negative margins act as zero; only the fixed 8 pixels remain.
    s.blur_intensity = 0.0f;
    s.distortion_scale = -0.5f;
    s.chromatic_shift = -4.0f;
    EXPECT_EQ(RequestExpansion(s, request), 8);

    // Full Frame takes the radius from the request: r = 960, 960 * 0.3 + 8 = 296.
    s.glass_mode = 2;
    s.distortion_scale = 0.3f;
    EXPECT_EQ(RequestExpansion(s, request), 296);
    // An empty request falls back to the panel: 200 * 0.3 + 8.
    EXPECT_EQ(RequestExpansion(s, PF_LRect{5, 5, 5, 900}), 68);
    // A host that ignores the slider ranges must not overflow the margin.
    s.distortion_scale = 1e30f;
    EXPECT_GT(RequestExpansion(s, request), 0);
}

TEST(PreRenderTest, GpuFlagFollowsRendererAndMode)
{
    struct Case {
        A_long renderer;
        A_long glass_mode;
        bool possible;
    };
    for (const Case c :
         {Case{1, 1, true}, Case{2, 2, true}, Case{3, 1, false}, Case{2, 3, false}, Case{0, 1, false}}) {
        SCOPED_TRACE(testing::Message() << "renderer " << c.renderer << " mode " << c.glass_mode);
        ScopedLogDir log;
        FakeSmartHost host;
        host.SetPopup(kParamRenderer, c.renderer);
        host.SetPopup(kParamGlassMode, c.glass_mode);
        host.pre_output.flags = PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS;
        ASSERT_EQ(PreRender(host.in_data(), host.pre_render_extra()), PF_Err_NONE);
        if (c.possible) {
            EXPECT_EQ(host.pre_output.flags,
                      PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS | PF_RenderOutputFlag_GPU_RENDER_POSSIBLE);
            EXPECT_EQ(log.Lines(),
                      (std::vector<std::string>{"PreRender: GPU_RENDER_POSSIBLE set",
                                                "PreRender: GPU_RENDER_POSSIBLE confirmed after checkout"}));
        } else {
            EXPECT_EQ(host.pre_output.flags, PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS);
            EXPECT_EQ(log.Lines(), std::vector<std::string>{"PreRender: GPU_RENDER_POSSIBLE not set"});
        }
        ReleaseRecord(host);
    }
}

// Full Frame with a matte that has pixels checks it out over the input's
// rectangle and measures it; otherwise the matte is left alone.
TEST(PreRenderTest, MatteIsRequestedAndMeasuredOnlyInFullFrameWithPixels)
{
    struct Case {
        const char *what;
        A_long glass_mode;
        A_long width;
        A_long height;
        bool has_data;
        bool requested;
    };
    for (const Case &c :
         {Case{"full frame", 2, 30, 20, true, true}, Case{"rounded rect", 1, 30, 20, true, false},
          Case{"no rows", 2, 30, 0, true, false}, Case{"no columns", 2, 0, 20, true, false},
          Case{"no data", 2, 30, 20, false, false}}) {
        SCOPED_TRACE(c.what);
        ScopedLogDir log;
        FakeSmartHost host;
        host.SetPopup(kParamGlassMode, c.glass_mode);
        host.SetRequest(0, 0, 30, 20);
        TestWorld<PF_Pixel8> matte(30, 20, test::WorldLayout{12, 0, 0, false});
        for (A_long y = 5; y <= 9; ++y) {
            for (A_long x = 10; x <= 19; ++x) {
                matte.SetFloat(x, y, {1.0f, 0.0f, 0.0f, 0.0f});
            }
        }
        PF_EffectWorld world = matte.world();
        world.width = c.width;
        world.height = c.height;
        world.data = c.has_data ? world.data : nullptr;
        host.SetMatteLayer(world);
        ASSERT_EQ(PreRender(host.in_data(), host.pre_render_extra()), PF_Err_NONE);
        ASSERT_EQ(host.layer_requests.size(), c.requested ? 2u : 1u);
        const PreRenderData &record = Record(host);
        EXPECT_EQ(record.alpha_matte_requested, c.requested);
        EXPECT_EQ(record.matte_bounds.valid, c.requested);
        if (c.requested) {
            EXPECT_EQ(host.layer_requests[1].index, kParamAlphaMatte);
            EXPECT_EQ(host.layer_requests[1].checkout_id, 1);
            EXPECT_EQ(R(host.layer_requests[1].request.rect), R(host.layer_requests[0].request.rect));
            const MatteBounds &b = record.matte_bounds;
            EXPECT_TRUE(b.has_partial_alpha);
            EXPECT_EQ((std::vector<float>{b.left, b.top, b.right, b.bottom, b.mid_x, b.mid_y, b.half_width,
                                          b.half_height}),
                      (std::vector<float>{10, 5, 20, 10, 15, 7.5f, 5, 2.5f}));
        } else {
            EXPECT_EQ(record.matte_bounds.right, 0.0f);
        }
        ReleaseRecord(host);
    }
}

template <typename Pixel> class PreRenderMatteTest : public testing::Test {
};
TYPED_TEST_SUITE(PreRenderMatteTest, test::PixelTypes);

// Bounds in layer coordinates (the world's origin added) over alpha above the
// threshold; partial alpha means any counted pixel below nearly opaque.
TYPED_TEST(PreRenderMatteTest, BoundsCountOnlyAlphaAboveThreshold)
{
    const test::WorldLayout layout{0, 3, 4, true};
    {
        SCOPED_TRACE("transparent: the whole world");
        TestWorld<TypeParam> matte(8, 6, layout);
        const MatteBounds b = MeasureMatteBounds(matte.world());
        EXPECT_TRUE(b.valid);
        EXPECT_FALSE(b.has_partial_alpha);
        EXPECT_EQ((std::vector<float>{b.left, b.top, b.right, b.bottom, b.mid_x, b.half_height}),
                  (std::vector<float>{3, 4, 11, 10, 7, 3}));
    }
    {
        SCOPED_TRACE("alpha 0.003 does not count, 0.99 counts as partial");
        TestWorld<TypeParam> matte(8, 6, layout);
        // 8-bit has no value at or just below 0.003 other than 0.
        matte.Fill({sizeof(TypeParam) == 4 ? 0.0f : 0.003f, 1.0f, 1.0f, 1.0f});
        matte.SetFloat(2, 1, {0.99f, 0.0f, 0.0f, 0.0f});
        const MatteBounds b = MeasureMatteBounds(matte.world());
        EXPECT_TRUE(b.has_partial_alpha);
        EXPECT_EQ((std::vector<float>{b.left, b.top, b.right, b.bottom, b.half_width, b.half_height}),
                  (std::vector<float>{5, 5, 6, 6, 1, 1})); // half sizes raised from 0.5
    }
    {
        SCOPED_TRACE("opaque, then one pixel at 0.993");
        TestWorld<TypeParam> matte(5, 4);
        matte.Fill({1.0f, 1.0f, 1.0f, 1.0f});
        EXPECT_FALSE(MeasureMatteBounds(matte.world()).has_partial_alpha);
        matte.SetFloat(4, 3, {0.993f, 1.0f, 1.0f, 1.0f});
        EXPECT_TRUE(MeasureMatteBounds(matte.world()).has_partial_alpha);
    }
}

// A failed checkout returns the host's error, checks in every parameter taken
// so far and leaves no record for the host to free.
TEST(PreRenderTest, FailedCheckoutsLeaveNoRecord)
{
    struct Case {
        const char *what;
        PF_ParamIndex fail_param;
        PF_ParamIndex fail_layer;
        std::vector<PF_ParamIndex> checkins;
        size_t log_lines; // the flag is offered before the layer checkouts, never confirmed
    };
    const Case cases[] = {
        {"input layer", -1, kParamInput, kExpectedCheckouts, 1},
        {"matte layer", -1, kParamAlphaMatte, kExpectedCheckouts, 1},
        {"glass width", kParamGlassWidth, -1, {2, 3, 4, 5, 8, 9}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScopedLogDir log;
        FakeSmartHost host;
        host.SetPopup(kParamGlassMode, 2);
        TestWorld<PF_Pixel8> matte(4, 4);
        matte.Fill({1.0f, 1.0f, 1.0f, 1.0f});
        host.SetMatteLayer(matte.world());
        host.fail_param = c.fail_param;
        host.fail_layer_request = c.fail_layer;
        host.injected_error = 519;

        EXPECT_EQ(PreRender(host.in_data(), host.pre_render_extra()), 519);
        EXPECT_EQ(host.pre_output.pre_render_data, nullptr);
        EXPECT_EQ(host.pre_output.delete_pre_render_data_func, nullptr);
        EXPECT_EQ(host.param_checkins, c.checkins);
        EXPECT_EQ(log.Lines().size(), c.log_lines);
        if (c.fail_layer >= 0) {
            EXPECT_EQ(host.layer_requests.back().index, c.fail_layer);
        } else {
            EXPECT_TRUE(host.layer_requests.empty());
        }
    }
}

} // namespace
} // namespace prismora
