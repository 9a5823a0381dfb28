// Many frames at once: 16 frames with random settings (every parameter, the
// matte, tiles, the plain render and, on the emulated device, the GPU path)
// rendered on 16 host threads together must equal the same frames rendered
// one by one. Run under ThreadSanitizer by `make tsan`.
#include "e2e_fixture.h"

namespace prismora::e2e {
namespace {

constexpr int kFrames = 16;

// Random values for every parameter, and a random way to render the frame.
void RandomSettings(std::mt19937 &rng, FrameJob &job, const World &matte)
{
    RandomParams(rng, job, &matte);
    switch (rng() % 4) {
    case 0:
        job.tile_width = 17 + static_cast<A_long>(rng() % 30);
        job.tile_height = 11 + static_cast<A_long>(rng() % 30);
        break;
    case 1:
        job.path = RenderPath::kLegacy;
        break;
    default:
        job.path = RenderPath::kGpuWhenPossible; // the CPU where the host has no device
        break;
    }
}

void StressFrames(Host &host, uint32_t seed)
{
    std::mt19937 rng(seed);
    const int depths[] = {8, 16, 32};
    std::vector<World> inputs;
    std::vector<World> mattes;
    for (int depth : depths) {
        const PixelFormat format = hostsim::FormatForDepth(depth);
        inputs.push_back(PatternWorld(64, 48, format));
        mattes.push_back(EllipseMatte(64, 48, format, 30.0f, 22.0f, 20.0f, 14.0f));
    }
    std::vector<FrameJob> jobs;
    for (int i = 0; i < kFrames; ++i) {
        const size_t d = rng() % 3;
        FrameJob job = host.NewFrame(inputs[d], depths[d]);
        RandomSettings(rng, job, mattes[d]);
        jobs.push_back(std::move(job));
    }
    host.books().Reset();
    const std::vector<FrameResult> together = host.RenderAll(jobs, kFrames);
    ASSERT_EQ(together.size(), jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i) + " of seed " + std::to_string(seed));
        const FrameResult alone = host.Render(jobs[i]);
        EXPECT_EQ(together[i].err, alone.err);
        EXPECT_EQ(together[i].path, alone.path);
        EXPECT_TRUE(SameFrame(together[i].output, alone.output));
    }
    EXPECT_EQ(host.books().Imbalances(), std::vector<std::string>{});
}

// On the plug-in as built, and on the build with the emulated device.
TEST(MultiFrameStress, SixteenRandomFramesAtOnceEqualThemOneByOne)
{
    StressFrames(SharedHost(), 20261207u);
    Host emulated(PRISMORA_E2E_EMULATED_PLUGIN, {.gpu_device = hostsim::GpuDeviceChoice::kEmulated});
    emulated.Start();
    ASSERT_NE(emulated.AcceptedGpuOffer(), nullptr);
    StressFrames(emulated, 7u);
}

} // namespace
} // namespace prismora::e2e
