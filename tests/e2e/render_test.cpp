// Frames through the host at every depth, on padded rows: the smart render
// against the plain render of what the host delivered, and the plain render
// command. Requests away from the origin and Full Frame with a matte are in
// tiles_threads_test, GPU against CPU frames in tests/hostsim.
#include "e2e_fixture.h"

namespace prismora::e2e {
namespace {

template <typename Pixel> class Render : public EffectTest<Pixel> {
};
TYPED_TEST_SUITE(Render, PixelTypes);

TYPED_TEST(Render, SmartFrameEqualsTheShaderPerPixel)
{
    const World input = PatternWorld(120, 80, this->kFormat);
    struct Case {
        const char *name;
        void (*set)(FrameJob &);
    };
    const Case cases[] = {{"defaults, panel larger than the layer", [](FrameJob &) {}},
                          {"small panel, high quality, clamped edges, tint",
                           [](FrameJob &job) {
                               TestFixture::SmallPanel(job, 70.0, 44.0);
                               job.params.SetPopup(kParamQuality, 3);
                               job.params.SetCheckbox(kParamClampEdges, true);
                               job.params.SetFloat(kParamColorAmount, 40.0);
                               job.params.SetColor(kParamGlassColor, {255, 40, 160, 220});
                               job.params.SetPoint(kParamCenter, 50 << 16, 36 << 16);
                           }},
                          {"strong distortion and fringes, low quality",
                           [](FrameJob &job) {
                               TestFixture::SmallPanel(job, 90.0, 60.0);
                               job.params.SetPopup(kParamQuality, 1);
                               job.params.SetFloat(kParamDistortionScale, 80.0);
                               job.params.SetFloat(kParamChromaticShift, 12.0);
                               job.params.SetFloat(kParamAmount, 150.0);
                           }},
                          {"debug view", [](FrameJob &job) {
                               TestFixture::SmallPanel(job, 80.0, 50.0);
                               job.params.SetPopup(kParamDebugView, 5);
                           }}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FrameJob job = this->NewFrame(input);
        c.set(job);
        const FrameResult frame = this->host().Render(job);
        ASSERT_EQ(frame.err, PF_Err_NONE);
        // The whole layer is within the expanded request, so the effect saw all of it.
        const PF_LRect delivered = frame.tiles.at(0).checkouts.at(0).delivered;
        EXPECT_EQ(delivered.right - delivered.left, 120);
        EXPECT_EQ(delivered.bottom - delivered.top, 80);
        EXPECT_TRUE(SameFrame(frame.output, ReferenceFor<TypeParam>(job, frame)));
        EXPECT_FALSE(frame.output.SamePixels(input)) << "the panel changes the frame";
    }
    this->ExpectBalancedBooks();
}

TYPED_TEST(Render, PlainRenderAgreesWithSmartRenderWhereTheMatteTakesNoPart)
{
    const World input = PatternWorld(100, 70, this->kFormat);
    const World matte = EllipseMatte(100, 70, this->kFormat, 50.0f, 35.0f, 30.0f, 20.0f);
    FrameJob job = this->NewFrame(input);
    TestFixture::SmallPanel(job, 64.0, 40.0);
    job.params.SetLayer(kParamAlphaMatte, &matte); // chosen, but Custom Rounded Rect ignores it
    const FrameResult smart = this->host().Render(job);
    job.path = RenderPath::kLegacy;
    const FrameResult legacy = this->host().Render(job);
    ASSERT_EQ(smart.err, PF_Err_NONE);
    ASSERT_EQ(legacy.err, PF_Err_NONE);
    EXPECT_TRUE(SameFrame(legacy.output, smart.output));

    // Full Frame: the plain render never sees the matte and passes the layer through.
    job.params.SetPopup(kParamGlassMode, 2);
    const FrameResult legacy_ff = this->host().Render(job);
    ASSERT_EQ(legacy_ff.err, PF_Err_NONE);
    EXPECT_TRUE(SameFrame(legacy_ff.output, Stored(input)));

    // Padded rows of a layer one or two pixels wide reach 16 bytes a pixel at
    // every depth: the host's pixel format, not the row length, gives the depth.
    for (const A_long width : {1, 2}) {
        const World narrow_input = PatternWorld(width, 9, this->kFormat);
        FrameJob narrow = this->NewFrame(narrow_input);
        const FrameResult narrow_smart = this->host().Render(narrow);
        narrow.path = RenderPath::kLegacy;
        const FrameResult narrow_legacy = this->host().Render(narrow);
        ASSERT_EQ(narrow_legacy.err, PF_Err_NONE);
        EXPECT_TRUE(SameFrame(narrow_legacy.output, narrow_smart.output)) << width;
    }
    this->ExpectBalancedBooks();
}

} // namespace
} // namespace prismora::e2e
