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

// The defaults (a panel larger than the layer), then random values of every
// parameter on a panel that fits, so that each one must reach the frame; a
// matte may be chosen, which Custom Rounded Rect ignores. The plain render
// command gives the same frames.
TYPED_TEST(Render, SmartAndPlainRenderEqualThePlainFrame)
{
    const World input = PatternWorld(120, 80, this->kFormat);
    const World matte = EllipseMatte(120, 80, this->kFormat, 60.0f, 40.0f, 36.0f, 24.0f);
    std::mt19937 rng(this->kBits);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        FrameJob job = this->NewFrame(input);
        if (i > 0) {
            RandomParams(rng, job, &matte);
            job.params.SetPopup(kParamGlassMode, 1);
            TestFixture::SmallPanel(job, 60.0 + 5.0 * i, 40.0 + 3.0 * i);
        }
        const FrameResult frame = this->host().Render(job);
        ASSERT_EQ(frame.err, PF_Err_NONE);
        // The whole layer is within the expanded request, so the effect saw all of it.
        const PF_LRect delivered = frame.tiles.at(0).checkouts.at(0).delivered;
        EXPECT_EQ(delivered.right - delivered.left, 120);
        EXPECT_EQ(delivered.bottom - delivered.top, 80);
        EXPECT_TRUE(SameFrame(frame.output, ReferenceFor<TypeParam>(job, frame)));
        EXPECT_FALSE(frame.output.SamePixels(input)) << "the panel changes the frame";
        job.path = RenderPath::kLegacy;
        EXPECT_TRUE(SameFrame(this->host().Render(job).output, frame.output)) << "the plain render";
    }
    this->ExpectBalancedBooks();
}

TYPED_TEST(Render, PlainRenderIgnoresTheMatteAndTakesTheHostsDepth)
{
    // Full Frame: the plain render never sees the matte and passes the layer through.
    const World input = PatternWorld(100, 70, this->kFormat);
    const World matte = EllipseMatte(100, 70, this->kFormat, 50.0f, 35.0f, 30.0f, 20.0f);
    FrameJob job = this->NewFrame(input);
    job.path = RenderPath::kLegacy;
    job.params.SetPopup(kParamGlassMode, 2);
    job.params.SetLayer(kParamAlphaMatte, &matte);
    const FrameResult full_frame = this->host().Render(job);
    ASSERT_EQ(full_frame.err, PF_Err_NONE);
    EXPECT_TRUE(SameFrame(full_frame.output, Stored(input)));

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
