#include "host/pre_render.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/param_index.h"
#include "support/fake_smart_host.h"
#include "support/scoped_log_dir.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::FakeSmartHost;
using test::ScopedLogDir;
using test::TestWorld;

const std::vector<PF_ParamIndex> kExpectedCheckouts = {2,  3,  4,  5,  8,  9,  10, 11, 12, 13, 16,
                                                       17, 18, 19, 20, 21, 22, 23, 24, 27, 28};

// The panel of the worked example: 400 x 300, distortion 30 %, blur 30, shift 4.
void SetExampleParams(FakeSmartHost &host)
{
    host.SetSlider(kParamGlassWidth, 400.0);
    host.SetSlider(kParamGlassHeight, 300.0);
    host.SetSlider(kParamDistortionScale, 30.0);
    host.SetSlider(kParamBlurIntensity, 30.0);
    host.SetSlider(kParamChromaticShift, 4.0);
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

void ExpectNoRecordLeft(const FakeSmartHost &host)
{
    EXPECT_EQ(host.pre_output.pre_render_data, nullptr);
    EXPECT_EQ(host.pre_output.delete_pre_render_data_func, nullptr);
}

TEST(PreRenderTest, ExpandsTheInputRequestAndReportsTheRequestAsResult)
{
    ScopedLogDir log;
    FakeSmartHost host;
    SetExampleParams(host);
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
    EXPECT_EQ(input.request.rect.left, 100 - 76);
    EXPECT_EQ(input.request.rect.top, 50 - 76);
    EXPECT_EQ(input.request.rect.right, 740 + 76);
    EXPECT_EQ(input.request.rect.bottom, 410 + 76);
    EXPECT_EQ(input.request.channel_mask, PF_ChannelMask_ARGB);
    EXPECT_EQ(input.request.preserve_rgb_of_zero_alpha, 1);
    EXPECT_EQ(input.what_time, 12);
    EXPECT_EQ(input.time_step, 3);
    EXPECT_EQ(input.time_scale, 24u);

    for (const PF_LRect &rect : {host.pre_output.result_rect, host.pre_output.max_result_rect}) {
        EXPECT_EQ(rect.left, 100);
        EXPECT_EQ(rect.top, 50);
        EXPECT_EQ(rect.right, 740);
        EXPECT_EQ(rect.bottom, 410);
    }
    EXPECT_EQ(host.pre_output.solid, 0);
    ASSERT_NE(host.pre_output.pre_render_data, nullptr);
    EXPECT_EQ(Record(host).settings.glass_width, 400.0f);
    EXPECT_FALSE(Record(host).alpha_matte_requested);
    EXPECT_FALSE(Record(host).matte_bounds.valid);
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

TEST(PreRenderTest, MatteIsLeftOutUnlessFullFrameWithPixels)
{
    struct Case {
        const char *what;
        A_long glass_mode;
        A_long width;
        A_long height;
        bool has_data;
    };
    for (const Case &c : {Case{"rounded rect", 1, 30, 20, true}, Case{"no rows", 2, 30, 0, true},
                          Case{"no columns", 2, 0, 20, true}, Case{"no data", 2, 30, 20, false}}) {
        SCOPED_TRACE(c.what);
        ScopedLogDir log;
        FakeSmartHost host;
        host.SetPopup(kParamGlassMode, c.glass_mode);
        TestWorld<PF_Pixel8> matte(30, 20);
        matte.Fill({1.0f, 1.0f, 1.0f, 1.0f});
        PF_EffectWorld world = matte.world();
        world.width = c.width;
        world.height = c.height;
        world.data = c.has_data ? world.data : nullptr;
        host.SetMatteLayer(world);
        ASSERT_EQ(PreRender(host.in_data(), host.pre_render_extra()), PF_Err_NONE);
        ASSERT_EQ(host.layer_requests.size(), 1u);
        EXPECT_EQ(host.layer_requests[0].index, 0);
        EXPECT_FALSE(Record(host).alpha_matte_requested);
        EXPECT_FALSE(Record(host).matte_bounds.valid);
        EXPECT_EQ(Record(host).matte_bounds.right, 0.0f);
        ReleaseRecord(host);
    }
}

template <typename Pixel> class PreRenderMatteTest : public testing::Test {
};
TYPED_TEST_SUITE(PreRenderMatteTest, test::PixelTypes);

TYPED_TEST(PreRenderMatteTest, FullFrameRequestsAndMeasuresTheMatte)
{
    ScopedLogDir log;
    FakeSmartHost host;
    host.SetPopup(kParamGlassMode, 2);
    host.SetRequest(0, 0, 30, 20);
    TestWorld<TypeParam> matte(30, 20, test::WorldLayout{12, 0, 0, false});
    for (A_long y = 5; y <= 9; ++y) {
        for (A_long x = 10; x <= 19; ++x) {
            matte.SetFloat(x, y, {1.0f, 0.0f, 0.0f, 0.0f});
        }
    }
    host.SetMatteLayer(matte.world());

    ASSERT_EQ(PreRender(host.in_data(), host.pre_render_extra()), PF_Err_NONE);
    ASSERT_EQ(host.layer_requests.size(), 2u);
    EXPECT_EQ(host.layer_requests[1].index, 13);
    EXPECT_EQ(host.layer_requests[1].checkout_id, 1);
    EXPECT_EQ(host.layer_requests[1].request.rect.left, host.layer_requests[0].request.rect.left);
    EXPECT_EQ(host.layer_requests[1].request.rect.bottom, host.layer_requests[0].request.rect.bottom);

    const PreRenderData &record = Record(host);
    EXPECT_TRUE(record.alpha_matte_requested);
    const MatteBounds &b = record.matte_bounds;
    EXPECT_TRUE(b.valid);
    EXPECT_TRUE(b.has_partial_alpha);
    EXPECT_EQ(b.left, 10.0f);
    EXPECT_EQ(b.top, 5.0f);
    EXPECT_EQ(b.right, 20.0f);
    EXPECT_EQ(b.bottom, 10.0f);
    EXPECT_EQ(b.mid_x, 15.0f);
    EXPECT_EQ(b.mid_y, 7.5f);
    EXPECT_EQ(b.half_width, 5.0f);
    EXPECT_EQ(b.half_height, 2.5f);
    ReleaseRecord(host);
}

TYPED_TEST(PreRenderMatteTest, BoundsCountOnlyAlphaAboveThreshold)
{
    // Origin shifts the box; alpha 0.003 does not count, 0.99 counts but is partial.
    TestWorld<TypeParam> matte(8, 6, test::WorldLayout{0, 3, 4, true});
    // 8-bit has no value at or just below 0.003 other than 0.
    matte.Fill({sizeof(TypeParam) == 4 ? 0.0f : 0.003f, 1.0f, 1.0f, 1.0f});
    matte.SetFloat(2, 1, {0.99f, 0.0f, 0.0f, 0.0f});
    const MatteBounds b = MeasureMatteBounds(matte.world());
    EXPECT_TRUE(b.has_partial_alpha);
    EXPECT_EQ(b.left, 5.0f);
    EXPECT_EQ(b.top, 5.0f);
    EXPECT_EQ(b.right, 6.0f);
    EXPECT_EQ(b.bottom, 6.0f);
    EXPECT_EQ(b.half_width, 1.0f); // raised from 0.5
    EXPECT_EQ(b.half_height, 1.0f);
}

TYPED_TEST(PreRenderMatteTest, PartialAlphaMeansBelowNearlyOpaque)
{
    TestWorld<TypeParam> matte(5, 4);
    matte.Fill({1.0f, 1.0f, 1.0f, 1.0f});
    EXPECT_FALSE(MeasureMatteBounds(matte.world()).has_partial_alpha);
    matte.SetFloat(4, 3, {0.993f, 1.0f, 1.0f, 1.0f});
    const MatteBounds b = MeasureMatteBounds(matte.world());
    EXPECT_TRUE(b.has_partial_alpha);
    EXPECT_EQ(b.right, 5.0f);
    EXPECT_EQ(b.bottom, 4.0f);
}

TYPED_TEST(PreRenderMatteTest, TransparentMatteGivesTheWholeWorld)
{
    TestWorld<TypeParam> matte(8, 6, test::WorldLayout{0, 3, 4, false});
    const MatteBounds b = MeasureMatteBounds(matte.world());
    EXPECT_TRUE(b.valid);
    EXPECT_FALSE(b.has_partial_alpha);
    EXPECT_EQ(b.left, 3.0f);
    EXPECT_EQ(b.top, 4.0f);
    EXPECT_EQ(b.right, 11.0f);
    EXPECT_EQ(b.bottom, 10.0f);
    EXPECT_EQ(b.mid_x, 7.0f);
    EXPECT_EQ(b.half_height, 3.0f);
}

TEST(PreRenderTest, FailedLayerCheckoutLeavesNoRecord)
{
    for (const PF_ParamIndex failing : {kParamInput, kParamAlphaMatte}) {
        SCOPED_TRACE(failing);
        ScopedLogDir log;
        FakeSmartHost host;
        host.SetPopup(kParamGlassMode, 2);
        TestWorld<PF_Pixel8> matte(4, 4);
        matte.Fill({1.0f, 1.0f, 1.0f, 1.0f});
        host.SetMatteLayer(matte.world());
        host.fail_layer_request = failing;
        host.injected_error = 519;

        EXPECT_EQ(PreRender(host.in_data(), host.pre_render_extra()), 519);
        ExpectNoRecordLeft(host);
        EXPECT_EQ(host.param_checkins, kExpectedCheckouts);
        EXPECT_EQ(host.layer_requests.back().index, failing);
        // The flag was offered before the checkouts; nothing is confirmed.
        EXPECT_EQ(log.Lines().size(), 1u);
    }
}

TEST(PreRenderTest, FailedParamCheckoutStopsAndChecksInTheEarlierOnes)
{
    ScopedLogDir log;
    FakeSmartHost host;
    host.fail_param = kParamGlassWidth;
    host.injected_error = 4;
    EXPECT_EQ(PreRender(host.in_data(), host.pre_render_extra()), 4);
    EXPECT_EQ(host.param_checkouts, (std::vector<PF_ParamIndex>{2, 3, 4, 5, 8, 9, 10}));
    EXPECT_EQ(host.param_checkins, (std::vector<PF_ParamIndex>{2, 3, 4, 5, 8, 9}));
    EXPECT_TRUE(host.layer_requests.empty());
    EXPECT_TRUE(log.Lines().empty());
    ExpectNoRecordLeft(host);
}

TEST(PreRenderTest, NullArgumentsAreRejectedBeforeAnything)
{
    ScopedLogDir log;
    FakeSmartHost host;
    EXPECT_EQ(PreRender(nullptr, host.pre_render_extra()), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(PreRender(host.in_data(), nullptr), PF_Err_BAD_CALLBACK_PARAM);
    PF_PreRenderExtra *extra = host.pre_render_extra();
    extra->output = nullptr;
    EXPECT_EQ(PreRender(host.in_data(), extra), PF_Err_BAD_CALLBACK_PARAM);
    extra = host.pre_render_extra();
    extra->cb = nullptr;
    EXPECT_EQ(PreRender(host.in_data(), extra), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(host.param_checkouts.empty());
    EXPECT_TRUE(log.Lines().empty());
    ExpectNoRecordLeft(host);
}

} // namespace
} // namespace prismora
