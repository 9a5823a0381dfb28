// How the host splits a frame into tiles or requests must not change it: tiles
// agree with the whole frame (several frames at once: multi_frame_stress_test.cpp).
#include "e2e_fixture.h"
#include "model/shape_field.h"

namespace prismora::e2e {
namespace {

template <typename Pixel> class Split : public EffectTest<Pixel> {
};
TYPED_TEST_SUITE(Split, PixelTypes);

TYPED_TEST(Split, TilesAgreeWithTheWholeFrame)
{
    const World input = PatternWorld(150, 100, this->kFormat);
    const World matte = EllipseMatte(150, 100, this->kFormat, 70.0f, 45.0f, 55.0f, 35.0f);
    for (const bool full_frame : {false, true}) {
        SCOPED_TRACE(full_frame);
        FrameJob job = this->NewFrame(input);
        TestFixture::SmallPanel(job, 90.0, 56.0);
        job.params.SetPoint(kParamCenter, 70 << 16, 48 << 16);
        job.params.SetPopup(kParamGlassMode, full_frame ? 2 : 1);
        job.params.SetLayer(kParamAlphaMatte, &matte);
        const FrameResult whole = this->host().Render(job);
        job.tile_width = 37;
        job.tile_height = 23;
        const FrameResult tiled = this->host().Render(job);
        ASSERT_EQ(whole.err, PF_Err_NONE);
        ASSERT_EQ(tiled.err, PF_Err_NONE);
        ASSERT_EQ(tiled.tiles.size(), 25u);
        if (full_frame) {
            // Both layers are checked out whole for every tile: the matte's
            // shape and every read are the whole frame's, and so are the GPU's.
            EXPECT_TRUE(SameFrame(tiled.output, whole.output));
            job.path = RenderPath::kGpuWhenPossible;
            const FrameResult gpu = EmulatedHost().Render(job);
            EXPECT_EQ(gpu.path, "gpu");
            // The host hands GPU float frames on as the kernel wrote them; the
            // CPU store clamps alpha and negative colour.
            EXPECT_LE(MaxDifference(Stored(gpu.output), whole.output), this->kBits == 8 ? 1.0 / 255.0 : 1e-4);
            // So is one request away from the origin, and it lands where it was asked for.
            job.path = RenderPath::kSmart;
            job.tile_width = job.tile_height = 0;
            job.request = PF_LRect{41, 17, 98, 60};
            const FrameResult part = this->host().Render(job);
            EXPECT_EQ(part.output.origin_x(), 41);
            EXPECT_EQ(part.output.origin_y(), 17);
            EXPECT_TRUE(SameFrame(part.output, whole.output.Crop(*job.request)));
            continue;
        }
        EXPECT_GT(tiled.tiles.back().checkouts.at(0).delivered.left, 0) << "tile inputs lie away from (0, 0)";
        // Off the panel the layer passes through exactly; on it the reads are
        // measured from the tile input's origin, which moves the last bits of a
        // read position, and a sharp step of 1.4 in the layer turns that into
        // up to about 1e-5.
        const EffectSettings settings = SettingsFor(job.params, input);
        const auto on_panel = [&](A_long x, A_long y) {
            return RectShape<CpuGlassPolicy>(settings, static_cast<float>(x), static_cast<float>(y)).inside;
        };
        const double unit = Depth<TypeParam>::kUnit;
        EXPECT_EQ(MaxDifference(tiled.output, whole.output, unit,
                                [&](A_long x, A_long y) { return !on_panel(x, y); }),
                  0.0);
        EXPECT_LE(MaxDifference(tiled.output, whole.output, unit, on_panel), this->kBits == 32 ? 1e-5 : 1.0);
    }
    this->ExpectBalancedBooks();
}

} // namespace
} // namespace prismora::e2e
