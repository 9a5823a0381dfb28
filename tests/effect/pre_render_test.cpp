// Smart pre-render against a fake host: the request it makes, the flags and
// the record it leaves. Its failure paths are run through the simulated host
// (tests/e2e/every_failure_test.cpp).
#include "effect/pre_render.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AE_EffectCB.h"
#include "effect/params_setup.h"
#include "model/param_index.h"
#include "support/fake_host.h"
#include "support/scoped_log_dir.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::ScopedLogDir;
using test::TestWorld;
using Rect = std::array<A_long, 4>;

Rect R(const PF_LRect &r)
{
    return {r.left, r.top, r.right, r.bottom};
}

// The host's side of a pre-render: parameter values by index (as declared, the
// matte layer without pixels), the calls the effect makes, and the request,
// times and output record.
struct PreRenderHost {
    struct LayerRequest {
        PF_ParamIndex index;
        A_long checkout_id;
        PF_RenderRequest request;
        A_long what_time, time_step;
        A_u_long time_scale;
    };
    std::array<PF_ParamDef, kParamCount> params{};
    std::vector<PF_ParamIndex> param_checkouts, param_checkins;
    std::vector<LayerRequest> layer_requests;
    PF_PreRenderInput pre_input{};
    PF_PreRenderOutput pre_output{};
    PF_InData in_data{};
    PF_PreRenderCallbacks cb{};
    PF_PreRenderExtra extra{&pre_input, &pre_output, &cb};

    PreRenderHost()
    {
        in_data.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
        in_data.current_time = 12;
        in_data.time_step = 3;
        in_data.time_scale = 24;
        in_data.inter.checkout_param = [](PF_ProgPtr ref, PF_ParamIndex index, A_long, A_long, A_u_long,
                                          PF_ParamDef *param) -> PF_Err {
            Of(ref).param_checkouts.push_back(index);
            *param = Of(ref).params[index];
            return PF_Err_NONE;
        };
        in_data.inter.checkin_param = [](PF_ProgPtr ref, PF_ParamDef *param) -> PF_Err {
            Of(ref).param_checkins.push_back(param->uu.id);
            return PF_Err_NONE;
        };
        cb.checkout_layer = [](PF_ProgPtr ref, PF_ParamIndex index, A_long id, const PF_RenderRequest *req,
                               A_long what_time, A_long time_step, A_u_long time_scale,
                               PF_CheckoutResult *) -> PF_Err {
            Of(ref).layer_requests.push_back({index, id, *req, what_time, time_step, time_scale});
            return PF_Err_NONE;
        };
        test::FakeHost declaring;
        EXPECT_EQ(ParamsSetup(declaring.in_data(), declaring.out_data()), PF_Err_NONE);
        std::copy(declaring.added.begin(), declaring.added.end(), params.begin() + 1);
    }
    static PreRenderHost &Of(PF_ProgPtr ref) { return *reinterpret_cast<PreRenderHost *>(ref); }
    void SetSlider(PF_ParamIndex index, double value) { params[index].u.fs_d.value = value; }
    void SetPopup(PF_ParamIndex index, A_long value) { params[index].u.pd.value = value; }
};

// Runs pre-render; the record it left, freed as the host frees it.
PreRenderData RunPreRender(PreRenderHost &host)
{
    EXPECT_EQ(PreRender(&host.in_data, &host.extra), PF_Err_NONE);
    PreRenderData record = *static_cast<const PreRenderData *>(host.pre_output.pre_render_data);
    host.pre_output.delete_pre_render_data_func(host.pre_output.pre_render_data);
    return record;
}

TEST(PreRender, ExpandsTheInputRequestAndReportsTheRequestAsResult)
{
    ScopedLogDir log;
    PreRenderHost host;
    // The panel of the worked example: 400 x 300, distortion 30 %, blur 30, shift 4 (the defaults).
    host.SetSlider(kParamGlassWidth, 400.0);
    host.SetSlider(kParamGlassHeight, 300.0);
    host.pre_input.output_request.rect = {100, 50, 740, 410};
    host.pre_input.output_request.channel_mask = PF_ChannelMask_RED;
    host.pre_output.solid = 1;

    EXPECT_EQ(RunPreRender(host).settings.glass_width, 400.0f);
    EXPECT_EQ(host.param_checkouts, host.param_checkins);
    ASSERT_EQ(host.layer_requests.size(), 1u);
    const PreRenderHost::LayerRequest &input = host.layer_requests[0];
    EXPECT_EQ(input.index, 0);
    EXPECT_EQ(input.checkout_id, 0);
    // m = 30 * 0.1 * 0.42 * 3 + 200 * 0.3 + 4 + 8 = 75.78
    EXPECT_EQ(R(input.request.rect), (Rect{100 - 76, 50 - 76, 740 + 76, 410 + 76}));
    EXPECT_EQ(input.request.channel_mask, PF_ChannelMask_ARGB);
    EXPECT_EQ(input.request.preserve_rgb_of_zero_alpha, 1);
    EXPECT_EQ((Rect{input.what_time, input.time_step, static_cast<A_long>(input.time_scale), 0}),
              (Rect{12, 3, 24, 0}));
    EXPECT_EQ(R(host.pre_output.result_rect), (Rect{100, 50, 740, 410}));
    EXPECT_EQ(R(host.pre_output.max_result_rect), (Rect{100, 50, 740, 410}));
    EXPECT_EQ(host.pre_output.solid, 0);
}

TEST(PreRender, ExpansionFollowsQualityMarginsAndFullFrameRequest)
{
    EffectSettings s{
        .quality = kQualityLow, .glass_width = 400.0f, .glass_height = 300.0f}; // blur 30, 30 %, shift 4
    const PF_LRect request{0, 0, 1920, 1080};
    EXPECT_EQ(RequestExpansion(s, request), 76); // 75.15
    s.quality = 3;
    EXPECT_EQ(RequestExpansion(s, request), 77); // 4.41 + 60 + 12

    // Negative margins act as zero; only the fixed 8 pixels remain.
    s.blur_intensity = 0.0f;
    s.distortion_scale = -0.5f;
    s.chromatic_shift = -4.0f;
    EXPECT_EQ(RequestExpansion(s, request), 8);

    // Full Frame takes the radius from the request: r = 960, 960 * 0.3 + 8 = 296;
    // an empty request falls back to the panel: 200 * 0.3 + 8.
    s.glass_mode = 2;
    s.distortion_scale = 0.3f;
    EXPECT_EQ(RequestExpansion(s, request), 296);
    EXPECT_EQ(RequestExpansion(s, PF_LRect{5, 5, 5, 900}), 68);
    // A host that ignores the slider ranges must not overflow the margin.
    s.distortion_scale = 1e30f;
    EXPECT_GT(RequestExpansion(s, request), 0);
}

TEST(PreRender, GpuFlagFollowsRendererAndMode)
{
    const std::vector<std::string> set = {"PreRender: GPU_RENDER_POSSIBLE set",
                                          "PreRender: GPU_RENDER_POSSIBLE confirmed after checkout"};
    for (const auto &[renderer, glass_mode, possible] :
         {std::tuple{1, 1, true}, {2, 2, true}, {3, 1, false}, {2, 3, false}, {0, 1, false}}) {
        SCOPED_TRACE(testing::Message() << "renderer " << renderer << " mode " << glass_mode);
        ScopedLogDir log;
        PreRenderHost host;
        host.SetPopup(kParamRenderer, renderer);
        host.SetPopup(kParamGlassMode, glass_mode);
        host.pre_output.flags = PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS;
        RunPreRender(host);
        EXPECT_EQ(host.pre_output.flags, PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS |
                                             (possible ? PF_RenderOutputFlag_GPU_RENDER_POSSIBLE : 0));
        EXPECT_EQ(log.Lines(),
                  possible ? set : std::vector<std::string>{"PreRender: GPU_RENDER_POSSIBLE not set"});
    }
}

// Full Frame with a matte that has pixels checks both layers out whole and
// measures the matte in layer coordinates; otherwise the matte is left alone.
TEST(PreRender, MatteIsRequestedAndMeasuredOnlyInFullFrameWithPixels)
{
    for (const auto &[what, glass_mode, width, height, has_data] : {std::tuple{"full frame", 2, 30, 20, true},
                                                                    {"rounded rect", 1, 30, 20, true},
                                                                    {"no rows", 2, 30, 0, true},
                                                                    {"no columns", 2, 0, 20, true},
                                                                    {"no data", 2, 30, 20, false}}) {
        SCOPED_TRACE(what);
        ScopedLogDir log;
        PreRenderHost host;
        host.SetPopup(kParamGlassMode, glass_mode);
        host.pre_input.output_request.rect = {0, 0, 30, 20};
        TestWorld<PF_Pixel8> matte(30, 20, test::WorldLayout{12, 3, 4, true});
        for (A_long y = 5; y <= 9; ++y) {
            for (A_long x = 10; x <= 19; ++x) {
                matte.SetFloat(x, y, {1.0f, 0.0f, 0.0f, 0.0f});
            }
        }
        PF_EffectWorld world = matte.world();
        world.width = width;
        world.height = height;
        world.data = has_data ? world.data : nullptr;
        host.params[kParamAlphaMatte].u.ld = world;
        const PreRenderData record = RunPreRender(host);
        const bool requested = std::string(what) == "full frame";
        ASSERT_EQ(host.layer_requests.size(), requested ? 2u : 1u);
        EXPECT_EQ(record.alpha_matte_requested, requested);
        EXPECT_EQ(record.matte_bounds.valid, requested);
        if (requested) {
            EXPECT_EQ(host.layer_requests[1].index, kParamAlphaMatte);
            EXPECT_EQ(host.layer_requests[1].checkout_id, 1);
            EXPECT_EQ(R(host.layer_requests[1].request.rect), R(host.layer_requests[0].request.rect));
            EXPECT_EQ(R(host.layer_requests[0].request.rect),
                      R({-1073741824, -1073741824, 1073741854, 1073741844}));
            const MatteBounds &b = record.matte_bounds;
            EXPECT_TRUE(b.has_partial_alpha);
            EXPECT_EQ((std::vector<float>{b.left, b.top, b.right, b.bottom, b.mid_x, b.mid_y, b.half_width,
                                          b.half_height}),
                      (std::vector<float>{13, 9, 23, 14, 18, 11.5f, 5, 2.5f}));
        }
    }
}

// Alpha at or below 0.003 does not count, at every depth; a matte without a
// counted pixel gives the whole world, and half sizes are at least 1. Partial
// alpha: any pixel below 0.995 where some pixel counts.
template <typename Pixel> class PreRenderMatte : public testing::Test {
};
TYPED_TEST_SUITE(PreRenderMatte, test::PixelTypes);
TYPED_TEST(PreRenderMatte, BoundsCountOnlyAlphaAboveThreshold)
{
    // Rows padded to 16 bytes a pixel and more at every depth: only the depth says float.
    TestWorld<TypeParam> matte(8, 6, test::WorldLayout{128, 3, 4, true});
    const int depth = 2 * static_cast<int>(sizeof(TypeParam));
    matte.Fill({sizeof(TypeParam) == 4 ? 0.0f : 0.003f, 1.0f, 1.0f, 1.0f}); // 8 bits has no 0.003
    MatteBounds b = MeasureMatteBounds(matte.world(), depth);
    EXPECT_FALSE(b.has_partial_alpha);
    EXPECT_EQ((std::vector<float>{b.left, b.top, b.right, b.bottom, b.mid_x, b.half_height}),
              (std::vector<float>{3, 4, 11, 10, 7, 3}));
    matte.SetFloat(2, 1, {1.0f, 0.0f, 0.0f, 0.0f});
    b = MeasureMatteBounds(matte.world(), depth);
    EXPECT_TRUE(b.has_partial_alpha);
    EXPECT_EQ((std::vector<float>{b.left, b.top, b.right, b.bottom, b.half_width, b.half_height}),
              (std::vector<float>{5, 5, 6, 6, 1, 1}));
    matte.Fill({1.0f, 1.0f, 1.0f, 1.0f});
    EXPECT_FALSE(MeasureMatteBounds(matte.world(), depth).has_partial_alpha);
    matte.SetFloat(4, 3, {0.993f, 1.0f, 1.0f, 1.0f});
    EXPECT_TRUE(MeasureMatteBounds(matte.world(), depth).has_partial_alpha);
}

} // namespace
} // namespace prismora
