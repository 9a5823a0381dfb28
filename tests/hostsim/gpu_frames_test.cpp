// GPU frames through the simulated host, against the CPU render of the same
// frame: the plug-in built with the emulated device on the host's emulated
// device (host memory) everywhere, and the real plug-in on a CUDA device where
// the CUDA runtime reports one (skipped elsewhere).
#include <cmath>
#include <cstddef>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "hostsim/host.h"
#include "support/hostsim_worlds.h"
#include "support/scoped_log_dir.h"

namespace prismora::hostsim::test {
namespace {

using prismora::test::EllipseMatte;
using prismora::test::MaxDifference;
using prismora::test::RandomParams;
using Lines = std::vector<std::string>;

// Gradients and slow waves, partly translucent: a GPU frame reads at positions
// that differ from the CPU's in the last bits, which noise would magnify.
World SmoothCard(A_long width, A_long height, PixelFormat format)
{
    World w(width, height, format);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / static_cast<float>(width);
            const float v = static_cast<float>(y) / static_cast<float>(height);
            w.Set(x, y,
                  {0.75f + 0.25f * v, 0.5f + 0.45f * std::sin(u * 9.0f + v * 3.0f), u * 0.9f + 0.05f,
                   0.5f + 0.45f * std::cos(v * 7.0f - u * 2.0f)});
        }
    }
    return w;
}

// Cut by the frame's left edge, where the distance passes seed from the edge too.
World Matte(A_long width, A_long height, PixelFormat format)
{
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    return EllipseMatte(width, height, format, 0.25f * w, 0.5f * h, 0.35f * w, 0.3f * h);
}

constexpr A_long kWidth = 160;
constexpr A_long kHeight = 120;

class GpuFrames : public ::testing::Test {
protected:
    void SetUp() override { MakeHost(GpuDeviceChoice::kEmulated); }

    void MakeHost(GpuDeviceChoice device, const char *library = HOSTSIM_PRISMORA_EMULATED_EFFECT)
    {
        // Padded GPU rows: the effect must use the pitch, not the width.
        host_ = std::make_unique<Host>(
            library, HostOptions{.row_padding_bytes = 12, .gpu_device = device, .gpu_row_padding_pixels = 3});
        host_->Start();
    }

    PF_ParamIndex P(const char *name) const { return host_->params().Find(name).value(); }

    // A panel that fits the small frame; everything else at its default.
    FrameJob Job(const World &input, int depth, RenderPath path = RenderPath::kGpuWhenPossible)
    {
        FrameJob job = host_->NewFrame(input, depth);
        job.params.SetFloat(P("Glass Width"), 100.0);
        job.params.SetFloat(P("Glass Height"), 70.0);
        job.params.SetFloat(P("Corner Radius"), 20.0);
        job.path = path;
        return job;
    }

    // Renders the job on the GPU and on the CPU; the largest difference.
    double GpuAgainstCpu(const FrameJob &gpu_job, World *gpu_output = nullptr)
    {
        FrameJob cpu_job = gpu_job;
        cpu_job.path = RenderPath::kSmart;
        const FrameResult gpu = host_->Render(gpu_job);
        const FrameResult cpu = host_->Render(cpu_job);
        EXPECT_EQ(gpu.err, PF_Err_NONE) << gpu.message;
        EXPECT_EQ(cpu.err, PF_Err_NONE);
        EXPECT_EQ(gpu.path, "gpu");
        EXPECT_EQ(cpu.path, "cpu");
        if (gpu_output) {
            *gpu_output = gpu.output.Clone();
        }
        return MaxDifference(gpu.output, cpu.output);
    }

    void ExpectBalancedBooks() { EXPECT_EQ(host_->books().Imbalances(), Lines{}); }

    std::unique_ptr<Host> host_;
};

TEST_F(GpuFrames, DeviceSetUpOffersCudaAndAnotherFrameworkAndTheEffectTakesOnlyCuda)
{
    const std::vector<GpuOffer> &offers = host_->gpu_offers();
    ASSERT_EQ(offers.size(), 2u);
    for (size_t i = 0; i < offers.size(); ++i) {
        EXPECT_EQ(offers[i].framework, i == 0 ? PF_GPU_Framework_CUDA : PF_GPU_Framework_DIRECTX);
        EXPECT_EQ(offers[i].err, PF_Err_NONE);
        EXPECT_EQ(offers[i].accepted, i == 0);
    }
    ASSERT_NE(host_->AcceptedGpuOffer(), nullptr);
    EXPECT_TRUE(host_->gpu_device()->emulated());
    // Without a device nothing is offered (the frames: tests/cli/effect_session_test.cpp).
    MakeHost(GpuDeviceChoice::kNone);
    EXPECT_TRUE(host_->gpu_offers().empty());
}

TEST_F(GpuFrames, AGpuFrameAgreesWithTheCpuRenderOfTheSameFrame)
{
    for (const int depth : {32, 8}) {
        const World input = SmoothCard(kWidth, kHeight, FormatForDepth(depth));
        const World matte = Matte(kWidth, kHeight, FormatForDepth(depth));
        // Random values of every parameter, on a rectangle that fits or in
        // Full Frame; a debug view of 0 is left random too.
        std::mt19937 rng(depth);
        const struct {
            const char *name;
            int glass_mode;
            const World *matte;
            int debug_view;
            bool no_blur, tiles;
        } scenarios[] = {{"rectangle", 1, nullptr, 0, false, false},
                         {"rectangle", 1, nullptr, 0, false, false},
                         {"rectangle as it looks", 1, &matte, 1, false, false},
                         {"rectangle as it looks, no blur", 1, nullptr, 1, true, false},
                         {"rectangle in tiles", 1, nullptr, 1, false, true},
                         {"full frame with a matte", 2, &matte, 1, false, false},
                         {"full frame without a matte", 2, nullptr, 1, false, false},
                         {"matte glass mask", 2, &matte, 2, false, false},
                         {"matte depth", 2, &matte, 3, false, false}};
        for (const auto &c : scenarios) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(depth) + " bits");
            FrameJob job = Job(input, depth);
            RandomParams(rng, job, c.matte);
            job.params.SetPopup(P("Renderer"), 1);
            job.params.SetPopup(P("Glass Mode"), c.glass_mode);
            job.params.SetLayer(P("Alpha Matte Layer"), c.matte);
            job.params.SetFloat(P("Glass Width"), 100.0);
            job.params.SetFloat(P("Glass Height"), 70.0);
            job.params.SetPopup(P("Debug View"), c.debug_view != 0 ? c.debug_view : 1 + rng() % 5);
            if (c.no_blur) {
                job.params.SetFloat(P("Blur Intensity"), 0.0);
            }
            job.tile_width = c.tiles ? 64 : 0;
            job.tile_height = c.tiles ? 48 : 0;
            // The emulated device runs the kernels' arithmetic without the
            // device's fast maths, so it stays far closer to the CPU than a
            // real device; 8 bits add a rounding step.
            EXPECT_LE(GpuAgainstCpu(job), depth == 8 ? 1.0 / 255.0 : 1e-4);
        }
    }
    ExpectBalancedBooks();
}

// Frames whose blurs nothing would read make no scratch worlds: Full Frame
// without a matte, and the faintest blur. (Host failures: tests/e2e.)
TEST_F(GpuFrames, FramesThatReadNoBlurMakeNoScratchWorlds)
{
    const World input = SmoothCard(kWidth, kHeight, PixelFormat::kArgb128);
    for (const bool full_frame : {true, false}) {
        host_->books().Reset();
        FrameJob job = Job(input, 32);
        job.params.SetPopup(P("Glass Mode"), full_frame ? 2 : 1);
        job.params.SetFloat(P("Blur Intensity"), full_frame ? 30.0 : 0.01);
        const FrameResult r = host_->Render(job);
        EXPECT_EQ(r.err, PF_Err_NONE);
        EXPECT_EQ(r.path, "gpu");
        EXPECT_EQ(host_->books().Totals().gpu_worlds_created, 0) << full_frame;
        ExpectBalancedBooks();
    }
}

// The real plug-in on a real device.
class CudaDeviceFrames : public GpuFrames {
protected:
    void SetUp() override
    {
        if (CudaDeviceCount() == 0) {
            GTEST_SKIP() << "no CUDA device";
        }
        MakeHost(GpuDeviceChoice::kCudaIfPresent, HOSTSIM_PRISMORA_EFFECT);
    }
};

TEST_F(CudaDeviceFrames, FullHdFramesAgreeWithTheCpuRenderAndOnSeveralThreadsWithOneByOne)
{
    ASSERT_NE(host_->AcceptedGpuOffer(), nullptr);
    EXPECT_FALSE(host_->gpu_device()->emulated());
    std::vector<World> inputs, mattes, one_by_one;
    inputs.reserve(2); // the jobs point at them
    mattes.reserve(2);
    std::vector<FrameJob> jobs;
    for (const int depth : {32, 8}) {
        inputs.push_back(SmoothCard(1920, 1080, FormatForDepth(depth)));
        // Inside the frame, as the tolerances below were measured on a device.
        mattes.push_back(EllipseMatte(1920, 1080, FormatForDepth(depth), 864.0f, 540.0f, 576.0f, 324.0f));
        for (const bool full_frame : {false, true}) {
            SCOPED_TRACE(std::to_string(depth) + (full_frame ? " bits, full frame" : " bits, rounded rect"));
            FrameJob job = host_->NewFrame(inputs.back(), depth); // all defaults
            job.path = RenderPath::kGpuWhenPossible;
            if (full_frame) {
                job.params.SetPopup(P("Glass Mode"), 2);
                job.params.SetLayer(P("Alpha Matte Layer"), &mattes.back());
            }
            one_by_one.emplace_back();
            const double tolerance = (full_frame ? 2e-2 : 2e-3) + (depth == 8 ? 1.0 / 255.0 : 0.0);
            EXPECT_LE(GpuAgainstCpu(job, &one_by_one.back()), tolerance);
            jobs.push_back(std::move(job));
        }
    }
    const std::vector<FrameResult> parallel = host_->RenderAll(jobs, 4);
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(parallel[i].path, "gpu");
        EXPECT_TRUE(parallel[i].output.SamePixels(one_by_one[i])) << "frame " << i;
    }
    ExpectBalancedBooks();
}

} // namespace
} // namespace prismora::hostsim::test
