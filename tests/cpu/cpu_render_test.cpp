#include "cpu/cpu_render.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "cpu/gaussian_blur.h"
#include "cpu/matte_field_builder.h"
#include "model/glass_shader.h"
#include "model/param_index.h"
#include "model/pre_render_data.h"
#include "support/fake_smart_host.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::FakeSmartHost;
using test::TestWorld;
using test::WorldLayout;

// A layer with a different value in every channel of every pixel.
template <typename Pixel> void FillPattern(TestWorld<Pixel> &world)
{
    for (A_long y = 0; y < world.height(); ++y) {
        for (A_long x = 0; x < world.width(); ++x) {
            const float a = (x + y) % 3 == 0 ? 0.5f : 1.0f;
            world.SetFloat(x, y,
                           {a, static_cast<float>(x) / static_cast<float>(world.width()),
                            static_cast<float>(y) / static_cast<float>(world.height()),
                            static_cast<float>((x * 7 + y * 3) % 11) / 10.0f});
        }
    }
}

// A panel inside a 20 x 14 output at layer position (10, 20), blurred at strength 3.
EffectSettings PanelSettings()
{
    EffectSettings s;
    s.center_x = 20.0f;
    s.center_y = 27.0f;
    s.glass_width = 14.0f;
    s.glass_height = 10.0f;
    s.corner_radius = 3.0f;
    s.blur_intensity = 30.0f;
    s.quality = 3;
    s.clamp_edges = true;
    return s;
}

bool SamePixels(const FloatImage &a, const FloatImage &b)
{
    return a.width == b.width && a.height == b.height && a.pixels.size() == b.pixels.size() &&
           std::memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(FloatPixel)) == 0;
}

template <typename Pixel> bool SameWorldPixels(const TestWorld<Pixel> &a, const TestWorld<Pixel> &b)
{
    for (A_long y = 0; y < a.height(); ++y) {
        if (std::memcmp(&a.At(0, y), &b.At(0, y), sizeof(Pixel) * static_cast<size_t>(a.width())) != 0) {
            return false;
        }
    }
    return true;
}

template <typename Pixel> class CpuRenderTest : public testing::Test {
};
TYPED_TEST_SUITE(CpuRenderTest, test::PixelTypes);

// The plain frame, the reference of the fast one (fast_frame_test.cpp): the
// layer position of each pixel, the blurs handed over and the untouched padding.
TEST(CpuFrameTest, PlainFrameIsTheShaderAtEveryLayerPosition)
{
    TestWorld<PF_PixelFloat> input(32, 24, WorldLayout{8, 6, 16, false});
    FillPattern(input);
    TestWorld<PF_PixelFloat> output(20, 14, WorldLayout{12, 10, 20, true});
    const EffectSettings settings = PanelSettings();

    ASSERT_EQ(PlainRender<PF_PixelFloat>(&input.world(), &output.world(), settings, nullptr), PF_Err_NONE);

    const FloatImage source = ToFloatImage<PF_PixelFloat>(input.world());
    const FloatImage half = GaussianBlur(source, 1.5f, 3, true);
    const FloatImage full = GaussianBlur(source, 3.0f, 3, true);
    int glass_pixels = 0;
    for (A_long r = 0; r < output.height(); ++r) {
        for (A_long c = 0; c < output.width(); ++c) {
            // Pixel (0, 0) of the output sits at layer position (10, 20).
            const FloatPixel expected = ClampPixelFloat(ShadeGlassPixel<PF_PixelFloat>(
                input.world(), settings, nullptr, &half, &full, 10.0f + c, 20.0f + r));
            const PF_PixelFloat &got = output.At(c, r);
            ASSERT_EQ(std::memcmp(&got, &expected, sizeof(got)), 0) << c << "," << r;
            glass_pixels += std::memcmp(&got, &input.At(c + 4, r + 4), sizeof(got)) != 0 ? 1 : 0;
        }
        ASSERT_EQ(output.PaddingOfRow(r)[11], 0xCD);
    }
    EXPECT_GT(glass_pixels, 20); // the panel really lies in the frame
}

TYPED_TEST(CpuRenderTest, InputWithoutPixelsGivesTransparentBlack)
{
    TestWorld<TypeParam> input(0, 5);
    TestWorld<TypeParam> output(6, 4, WorldLayout{4, 0, 0, false});
    const PF_EffectWorld *empty = &input.world();
    for (const PF_EffectWorld *in : {empty, static_cast<const PF_EffectWorld *>(nullptr)}) {
        output.Fill({1.0f, 0.5f, 0.25f, 1.0f});
        ASSERT_EQ(LegacyRender<TypeParam>(in, &output.world(), PanelSettings(), nullptr), PF_Err_NONE);
        const TypeParam zero{};
        for (A_long r = 0; r < output.height(); ++r) {
            for (A_long c = 0; c < output.width(); ++c) {
                ASSERT_EQ(std::memcmp(&output.At(c, r), &zero, sizeof(TypeParam)), 0);
            }
            EXPECT_EQ(output.PaddingOfRow(r)[0], 0xCD);
        }
    }
}

TEST(CpuFrameTest, FloatOutputClampsAlphaAndNegativeColourOnly)
{
    // Full Frame without a matte passes the source through; the store clamps it.
    TestWorld<PF_PixelFloat> input(3, 2);
    input.Fill({1.2f, 1.5f, -0.1f, 0.25f});
    TestWorld<PF_PixelFloat> output(3, 2);
    EffectSettings settings = PanelSettings();
    settings.glass_mode = 2;
    ASSERT_EQ(LegacyRender<PF_PixelFloat>(&input.world(), &output.world(), settings, nullptr), PF_Err_NONE);
    const PF_PixelFloat &p = output.At(2, 1);
    EXPECT_EQ(p.alpha, 1.0f);
    EXPECT_EQ(p.red, 1.5f);
    EXPECT_EQ(p.green, 0.0f);
    EXPECT_EQ(p.blue, 0.25f);
}

TEST(CpuRenderBlursTest, BlursAreMadeOnlyAboveTheStrengthThreshold)
{
    TestWorld<PF_PixelFloat> input(12, 9);
    FillPattern(input);
    const FloatImage source = ToFloatImage<PF_PixelFloat>(input.world());
    EffectSettings settings = PanelSettings();

    settings.blur_intensity = 0.01f; // strength 0.001: not above the threshold
    FrameBlurs blurs = MakeFrameBlurs<PF_PixelFloat>(input.world(), settings, nullptr);
    EXPECT_FALSE(blurs.half.IsUsable());
    EXPECT_FALSE(blurs.full.IsUsable());

    settings.blur_intensity = 0.02f; // half strength 0.001: an unblurred copy
    blurs = MakeFrameBlurs<PF_PixelFloat>(input.world(), settings, nullptr);
    EXPECT_TRUE(SamePixels(blurs.half, source));
    EXPECT_TRUE(blurs.full.IsUsable());

    settings.blur_intensity = 0.03f;
    blurs = MakeFrameBlurs<PF_PixelFloat>(input.world(), settings, nullptr);
    EXPECT_TRUE(blurs.half.IsUsable());
    EXPECT_TRUE(blurs.full.IsUsable());

    // Half and full strength, with the frame's quality and edge rule.
    settings.blur_intensity = 30.0f;
    blurs = MakeFrameBlurs<PF_PixelFloat>(input.world(), settings, nullptr);
    EXPECT_TRUE(SamePixels(blurs.half, GaussianBlur(source, 1.5f, 3, true)));
    EXPECT_TRUE(SamePixels(blurs.full, GaussianBlur(source, 3.0f, 3, true)));
    EXPECT_FALSE(SamePixels(blurs.half, blurs.full));
}

TEST(CpuRenderBlursTest, FullFrameBlursOnlyWithAValidMatte)
{
    TestWorld<PF_Pixel8> input(12, 9);
    FillPattern(input);
    EffectSettings settings = PanelSettings();
    settings.glass_mode = 2;

    EXPECT_FALSE(MakeFrameBlurs<PF_Pixel8>(input.world(), settings, nullptr).full.IsUsable());
    MatteField invalid;
    EXPECT_FALSE(MakeFrameBlurs<PF_Pixel8>(input.world(), settings, &invalid).full.IsUsable());

    TestWorld<PF_Pixel8> matte(12, 9);
    matte.Fill({1.0f, 1.0f, 1.0f, 1.0f});
    MatteField field;
    ASSERT_TRUE(BuildMatteField<PF_Pixel8>(matte.world(), field));
    const FrameBlurs blurs = MakeFrameBlurs<PF_Pixel8>(input.world(), settings, &field);
    EXPECT_TRUE(blurs.half.IsUsable());
    EXPECT_TRUE(blurs.full.IsUsable());

    settings.glass_mode = 1;
    EXPECT_TRUE(MakeFrameBlurs<PF_Pixel8>(input.world(), settings, nullptr).full.IsUsable());
}

// A smart render set-up: the host hands out these worlds under ids 0 and 1.
template <typename Pixel> struct SmartFrame {
    FakeSmartHost host;
    PreRenderData data;
    TestWorld<Pixel> input{24, 18, WorldLayout{0, 8, 18, false}};
    TestWorld<Pixel> matte{24, 18, WorldLayout{0, 8, 18, false}};
    TestWorld<Pixel> output{20, 14, WorldLayout{0, 10, 20, false}};

    explicit SmartFrame(short bitdepth, bool with_matte)
    {
        FillPattern(input);
        for (A_long y = 4; y < 14; ++y) {
            for (A_long x = 5; x < 19; ++x) {
                matte.SetFloat(x, y, {1.0f, 1.0f, 1.0f, 1.0f});
            }
        }
        data.settings = PanelSettings();
        data.settings.glass_mode = with_matte ? 2 : 1;
        data.alpha_matte_requested = with_matte;
        host.smart_input.bitdepth = bitdepth;
        host.smart_input.pre_render_data = &data;
        host.layer_worlds = {&input.world(), &matte.world()};
        host.output_world = &output.world();
    }

    PF_Err Render() { return SmartRenderCPU(host.in_data(), host.smart_render_extra()); }

    // The same frame through the frame body directly.
    bool MatchesDirectRender()
    {
        TestWorld<Pixel> expected(20, 14, WorldLayout{0, 10, 20, false});
        MatteField field;
        if (data.alpha_matte_requested) {
            BuildMatteField<Pixel>(matte.world(), field);
        }
        const MatteField *m = field.valid ? &field : nullptr;
        EXPECT_EQ(LegacyRender<Pixel>(&input.world(), &expected.world(), data.settings, m), PF_Err_NONE);
        return SameWorldPixels(output, expected);
    }
};

TEST(SmartRenderCpuTest, BitDepthPicksThePixelType)
{
    for (const short depth : {0, 8}) {
        SmartFrame<PF_Pixel8> frame(depth, true);
        ASSERT_EQ(frame.Render(), PF_Err_NONE);
        EXPECT_TRUE(frame.MatchesDirectRender()) << depth;
    }
    SmartFrame<PF_Pixel16> deep(16, false);
    ASSERT_EQ(deep.Render(), PF_Err_NONE);
    EXPECT_TRUE(deep.MatchesDirectRender());
    SmartFrame<PF_PixelFloat> flt(32, true);
    ASSERT_EQ(flt.Render(), PF_Err_NONE);
    EXPECT_TRUE(flt.MatchesDirectRender());
}

// Which checkouts happen, which go back, and which error wins.
TEST(SmartRenderCpuTest, CheckoutsCheckInsAndErrorPrecedence)
{
    enum OutputKind { kOutputOk, kOutputNoData, kOutputNull };
    struct Case {
        const char *what;
        bool matte;
        A_long fail_checkout; // -1: none
        bool fail_output;
        OutputKind output;
        A_long fail_checkin; // -1: none
        PF_Err result;
        std::vector<A_long> checkouts;
        std::vector<A_long> checkins;
        int output_checkouts;
        bool rendered;
    };
    const Case cases[] = {
        {"all well", true, -1, false, kOutputOk, -1, 0, {0, 1}, {0, 1}, 1, true},
        {"matte not requested", false, -1, false, kOutputOk, -1, 0, {0}, {0}, 1, true},
        {"input checkout fails", true, 0, false, kOutputOk, -1, 518, {0}, {}, 0, false},
        {"matte checkout fails", true, 1, false, kOutputOk, -1, 518, {0, 1}, {0}, 0, false},
        {"output checkout fails", true, -1, true, kOutputOk, -1, 518, {0, 1}, {0, 1}, 1, false},
        {"output without data",
         true,
         -1,
         false,
         kOutputNoData,
         1,
         PF_Err_BAD_CALLBACK_PARAM,
         {0, 1},
         {0, 1},
         1,
         false},
        {"no output world",
         true,
         -1,
         false,
         kOutputNull,
         -1,
         PF_Err_BAD_CALLBACK_PARAM,
         {0, 1},
         {0, 1},
         1,
         false},
        {"check-in fails after rendering", true, -1, false, kOutputOk, 0, 518, {0, 1}, {0, 1}, 1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SmartFrame<PF_Pixel8> frame(8, c.matte);
        frame.output.Fill({0.25f, 0.5f, 0.75f, 1.0f});
        PF_EffectWorld no_data = frame.output.world();
        no_data.data = nullptr;
        frame.host.output_world = c.output == kOutputOk       ? &frame.output.world()
                                  : c.output == kOutputNoData ? &no_data
                                                              : nullptr;
        frame.host.fail_pixel_checkout = c.fail_checkout;
        frame.host.fail_output = c.fail_output;
        frame.host.fail_pixel_checkin = c.fail_checkin;
        frame.host.injected_error = 518;
        EXPECT_EQ(frame.Render(), c.result);
        EXPECT_EQ(frame.host.pixel_checkouts, c.checkouts);
        EXPECT_EQ(frame.host.pixel_checkins, c.checkins);
        EXPECT_EQ(frame.host.output_checkouts, c.output_checkouts);
        if (c.rendered) {
            EXPECT_TRUE(frame.MatchesDirectRender());
        } else {
            EXPECT_EQ(frame.output.At(3, 3).red, 128) << "the output is left untouched";
        }
    }
}

TEST(SmartRenderCpuTest, MissingInputWorldRendersTransparent)
{
    SmartFrame<PF_PixelFloat> frame(32, false);
    frame.host.layer_worlds[0] = nullptr;
    frame.output.Fill({1.0f, 1.0f, 1.0f, 1.0f});
    ASSERT_EQ(frame.Render(), PF_Err_NONE);
    EXPECT_EQ(frame.output.At(7, 5).alpha, 0.0f);
    EXPECT_EQ(frame.output.At(7, 5).blue, 0.0f);
    // The host handed out a (null) world: it still gets it back.
    EXPECT_EQ(frame.host.pixel_checkins, std::vector<A_long>{0});
}

TEST(SmartRenderCpuTest, BadArgumentsCheckOutNothing)
{
    SmartFrame<PF_Pixel8> frame(8, true);
    EXPECT_EQ(SmartRenderCPU(nullptr, frame.host.smart_render_extra()), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(SmartRenderCPU(frame.host.in_data(), nullptr), PF_Err_BAD_CALLBACK_PARAM);
    PF_SmartRenderExtra *extra = frame.host.smart_render_extra();
    extra->cb = nullptr;
    EXPECT_EQ(SmartRenderCPU(frame.host.in_data(), extra), PF_Err_BAD_CALLBACK_PARAM);
    frame.host.smart_input.pre_render_data = nullptr;
    EXPECT_EQ(frame.Render(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_TRUE(frame.host.pixel_checkouts.empty());
    EXPECT_EQ(frame.host.output_checkouts, 0);
}

} // namespace
} // namespace prismora
