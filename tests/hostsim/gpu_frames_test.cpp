// GPU frames through the simulated host: the plug-in built with the emulated
// device renders them on the host's emulated device (host memory), so these
// run on every machine.
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "gpu_frame_support.h"
#include "hostsim/host.h"

namespace prismora::hostsim::test {
namespace {

constexpr A_long kWidth = 160;
constexpr A_long kHeight = 120;

class GpuFrames : public ::testing::Test {
protected:
    void SetUp() override { MakeHost(GpuDeviceChoice::kEmulated); }

    void MakeHost(GpuDeviceChoice device)
    {
        HostOptions options;
        options.gpu_device = device;
        options.row_padding_bytes = 12;
        options.gpu_row_padding_pixels = 3; // the effect must use the pitch, not the width
        host_ = std::make_unique<Host>(HOSTSIM_PRISMORA_EMULATED_EFFECT, options);
        host_->Start();
    }

    // A panel that fits the small frame; everything else at its default.
    FrameJob Job(const World &input, int depth, RenderPath path)
    {
        FrameJob job = host_->NewFrame(input, depth);
        job.params.SetFloat(Param(*host_, "Glass Width"), 100.0);
        job.params.SetFloat(Param(*host_, "Glass Height"), 70.0);
        job.params.SetFloat(Param(*host_, "Corner Radius"), 20.0);
        job.path = path;
        return job;
    }

    void ExpectBalancedBooks()
    {
        const std::vector<std::string> imbalances = host_->books().Imbalances();
        EXPECT_TRUE(imbalances.empty()) << ::testing::PrintToString(imbalances);
    }

    std::unique_ptr<Host> host_;
};

TEST_F(GpuFrames, DeviceSetUpOffersCudaAndAnotherFrameworkAndTheEffectTakesOnlyCuda)
{
    const std::vector<GpuOffer> &offers = host_->gpu_offers();
    ASSERT_EQ(offers.size(), 2u);
    EXPECT_EQ(offers[0].framework, PF_GPU_Framework_CUDA);
    EXPECT_EQ(offers[0].err, PF_Err_NONE);
    EXPECT_TRUE(offers[0].accepted);
    EXPECT_EQ(offers[0].gpu_data, nullptr);
    EXPECT_EQ(offers[1].framework, PF_GPU_Framework_DIRECTX);
    EXPECT_EQ(offers[1].err, PF_Err_NONE);
    EXPECT_FALSE(offers[1].accepted);
    ASSERT_NE(host_->AcceptedGpuOffer(), nullptr);
    EXPECT_TRUE(host_->gpu_device()->emulated());
    ExpectBalancedBooks();

    MakeHost(GpuDeviceChoice::kNone);
    EXPECT_TRUE(host_->gpu_offers().empty());
    EXPECT_EQ(host_->AcceptedGpuOffer(), nullptr);
}

struct Scenario {
    const char *name;
    std::function<void(const Host &, FrameJob &, const World *matte)> set;
};

const Scenario kScenarios[] = {
    {"rounded rect", [](const Host &, FrameJob &, const World *) {}},
    {"rounded rect, clamp edges",
     [](const Host &h, FrameJob &job, const World *) {
         job.params.SetCheckbox(Param(h, "Clamp Edges"), true);
     }},
    {"rounded rect, tinted, no blur",
     [](const Host &h, FrameJob &job, const World *) {
         job.params.SetFloat(Param(h, "Blur Intensity"), 0.0);
         job.params.SetFloat(Param(h, "Color Amount"), 60.0);
         job.params.SetColor(Param(h, "Glass Color"), {255, 90, 200, 160});
     }},
    {"full frame with a matte",
     [](const Host &h, FrameJob &job, const World *matte) {
         job.params.SetPopup(Param(h, "Glass Mode"), 2);
         job.params.SetLayer(Param(h, "Alpha Matte Layer"), matte);
     }},
    {"full frame without a matte",
     [](const Host &h, FrameJob &job, const World *) { job.params.SetPopup(Param(h, "Glass Mode"), 2); }},
    {"glass mask",
     [](const Host &h, FrameJob &job, const World *) { job.params.SetPopup(Param(h, "Debug View"), 2); }},
    {"matte glass mask",
     [](const Host &h, FrameJob &job, const World *matte) {
         job.params.SetPopup(Param(h, "Glass Mode"), 2);
         job.params.SetLayer(Param(h, "Alpha Matte Layer"), matte);
         job.params.SetPopup(Param(h, "Debug View"), 2);
     }},
};

TEST_F(GpuFrames, AGpuFrameAgreesWithTheCpuRenderOfTheSameFrame)
{
    for (const int depth : {32, 8}) {
        const World input = SmoothCard(kWidth, kHeight, FormatForDepth(depth));
        const World matte = EllipseMatte(kWidth, kHeight, FormatForDepth(depth));
        // The emulated device runs the kernels' arithmetic without the device's
        // fast maths, so it stays far closer to the CPU than a real device
        // (see CudaDeviceFrames); 8 bits add a rounding step.
        const float tolerance = depth == 8 ? 1.0f / 255.0f : 1e-4f;
        for (const Scenario &s : kScenarios) {
            SCOPED_TRACE(std::string(s.name) + " at " + std::to_string(depth) + " bits");
            FrameJob gpu_job = Job(input, depth, RenderPath::kGpuWhenPossible);
            s.set(*host_, gpu_job, &matte);
            FrameJob cpu_job = gpu_job;
            cpu_job.path = RenderPath::kSmart;

            const FrameResult gpu = host_->Render(gpu_job);
            const FrameResult cpu = host_->Render(cpu_job);
            ASSERT_EQ(gpu.err, PF_Err_NONE);
            ASSERT_EQ(cpu.err, PF_Err_NONE);
            EXPECT_EQ(gpu.path, "gpu");
            EXPECT_EQ(cpu.path, "cpu");
            const Difference d = Compare(gpu.output, cpu.output, tolerance);
            EXPECT_EQ(d.over, 0) << Describe(d);
        }
    }
    ExpectBalancedBooks();
}

TEST_F(GpuFrames, TiledGpuFramesAgreeWithTheWholeGpuFrame)
{
    const World input = SmoothCard(kWidth, kHeight, PixelFormat::kArgb128);
    FrameJob whole = Job(input, 32, RenderPath::kGpuWhenPossible);
    FrameJob tiled = whole;
    tiled.tile_width = 64;
    tiled.tile_height = 48;
    const FrameResult a = host_->Render(whole);
    const FrameResult b = host_->Render(tiled);
    ASSERT_EQ(b.err, PF_Err_NONE);
    ASSERT_EQ(b.tiles.size(), 9u);
    for (const TileReport &tile : b.tiles) {
        EXPECT_TRUE(tile.gpu_render_sent);
        EXPECT_EQ(tile.path, "gpu");
    }
    // Read positions are measured from each tile's input origin.
    const Difference d = Compare(a.output, b.output, 1e-4f);
    EXPECT_EQ(d.over, 0) << Describe(d);
    ExpectBalancedBooks();
}

TEST_F(GpuFrames, FramesTheGpuCannotTakeRenderOnTheCpuAndSayWhy)
{
    const World input = SmoothCard(kWidth, kHeight, PixelFormat::kArgb32);
    const FrameResult cpu = host_->Render(Job(input, 8, RenderPath::kSmart));
    ASSERT_EQ(cpu.err, PF_Err_NONE);

    // Renderer CPU: pre-render withholds the flag, no GPU command is sent.
    FrameJob job = Job(input, 8, RenderPath::kGpuWhenPossible);
    job.params.SetPopup(Param(*host_, "Renderer"), 3);
    const FrameResult by_popup = host_->Render(job);
    ASSERT_EQ(by_popup.err, PF_Err_NONE);
    ASSERT_EQ(by_popup.tiles.size(), 1u);
    EXPECT_FALSE(by_popup.tiles[0].gpu_render_sent);
    EXPECT_EQ(by_popup.path, "cpu: no GPU render possible");
    EXPECT_TRUE(by_popup.output.SamePixels(cpu.output));
    EXPECT_EQ(host_->books().Calls("CreateGPUWorld"), 0);
    EXPECT_EQ(host_->books().Calls("GetGPUWorldData"), 0);

    // Without a pre-render record the effect declines the GPU frame; the CPU
    // render gets the same (missing) record, and the record is deleted once.
    FrameJob declined = Job(input, 8, RenderPath::kGpuWhenPossible);
    declined.nulls.pre_render_data = true;
    const FrameResult fallback = host_->Render(declined);
    ASSERT_EQ(fallback.tiles.size(), 1u);
    EXPECT_TRUE(fallback.tiles[0].gpu_render_sent);
    EXPECT_EQ(fallback.tiles[0].gpu_render_err, PF_Err_UNRECOGNIZED_PARAM_TYPE);
    EXPECT_TRUE(fallback.tiles[0].rendered);
    EXPECT_EQ(fallback.path, "cpu: effect declined (514)");
    EXPECT_EQ(fallback.failed_command, fallback.err == PF_Err_NONE ? -1 : PF_Cmd_SMART_RENDER);

    // No device accepted.
    MakeHost(GpuDeviceChoice::kNone);
    const FrameResult no_device = host_->Render(Job(input, 8, RenderPath::kGpuWhenPossible));
    EXPECT_EQ(no_device.path, "cpu: no device");
    EXPECT_TRUE(no_device.output.SamePixels(cpu.output));
    ExpectBalancedBooks();
}

TEST_F(GpuFrames, ScratchWorldsAreBookedAndAMissingDisposalShows)
{
    const World input = SmoothCard(kWidth, kHeight, PixelFormat::kArgb128);
    const FrameResult clean = host_->Render(Job(input, 32, RenderPath::kGpuWhenPossible));
    ASSERT_EQ(clean.err, PF_Err_NONE);
    BookTotals t = host_->books().Totals();
    EXPECT_EQ(t.gpu_worlds_created, 3); // the blur's scratch worlds
    EXPECT_EQ(t.gpu_worlds_disposed, 3);
    ExpectBalancedBooks();

    // A disposal the host fails leaves the world with the effect.
    host_->books().FailNthCall("DisposeGPUWorld", 2, 77);
    const FrameResult failed = host_->Render(Job(input, 32, RenderPath::kGpuWhenPossible));
    EXPECT_EQ(failed.err, 77);
    EXPECT_EQ(failed.failed_command, PF_Cmd_SMART_RENDER_GPU);
    EXPECT_EQ(failed.path, "gpu: error 77");
    t = host_->books().Totals();
    EXPECT_EQ(t.gpu_worlds_leaked, 1);
    const std::vector<std::string> imbalances = host_->books().Imbalances();
    EXPECT_NE(
        std::find(imbalances.begin(), imbalances.end(), "GPU worlds created / disposed: 6 taken, 5 returned"),
        imbalances.end())
        << ::testing::PrintToString(imbalances);
}

TEST_F(GpuFrames, AFailedCreateGpuWorldReturnsTheHostsCodeAndReleasesEverything)
{
    const World input = SmoothCard(kWidth, kHeight, PixelFormat::kArgb64);
    for (const int nth : {1, 3}) {
        host_->books().FailNthCall("CreateGPUWorld", nth, 33);
        const FrameResult r = host_->Render(Job(input, 16, RenderPath::kGpuWhenPossible));
        EXPECT_EQ(r.err, 33) << "failing call " << nth;
        EXPECT_EQ(r.failed_command, PF_Cmd_SMART_RENDER_GPU);
        EXPECT_EQ(r.path, "gpu: error 33");
    }
    EXPECT_EQ(host_->books().Totals().gpu_worlds_created, 2);
    ExpectBalancedBooks();
}

TEST_F(GpuFrames, GpuFramesOnSeveralThreadsEqualTheSameFramesOneByOne)
{
    const World input8 = SmoothCard(kWidth, kHeight, PixelFormat::kArgb32);
    const World input32 = SmoothCard(kWidth, kHeight, PixelFormat::kArgb128);
    const World matte32 = EllipseMatte(kWidth, kHeight, PixelFormat::kArgb128);
    std::vector<FrameJob> jobs;
    for (int i = 0; i < 6; ++i) {
        const bool deep = i % 2 == 1;
        FrameJob job = Job(deep ? input32 : input8, deep ? 32 : 8, RenderPath::kGpuWhenPossible);
        job.params.SetFloat(Param(*host_, "Distortion Scale"), 10.0 + 15.0 * i);
        if (i == 3) {
            job.params.SetPopup(Param(*host_, "Glass Mode"), 2);
            job.params.SetLayer(Param(*host_, "Alpha Matte Layer"), &matte32);
        }
        if (i == 4) {
            job.tile_width = 80;
            job.tile_height = 40;
        }
        jobs.push_back(std::move(job));
    }
    std::vector<FrameResult> one_by_one;
    for (const FrameJob &job : jobs) {
        one_by_one.push_back(host_->Render(job));
    }
    const std::vector<FrameResult> parallel = host_->RenderAll(jobs, 3);
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(parallel[i].err, PF_Err_NONE);
        EXPECT_EQ(parallel[i].path, "gpu") << "frame " << i;
        EXPECT_TRUE(parallel[i].output.SamePixels(one_by_one[i].output)) << "frame " << i;
    }
    ExpectBalancedBooks();
}

} // namespace
} // namespace prismora::hostsim::test
