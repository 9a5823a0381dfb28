// GPU frames on a real CUDA device with the real plug-in: skipped where the
// CUDA runtime reports no device.
#include <gtest/gtest.h>

#include "gpu_frame_support.h"
#include "hostsim/host.h"

namespace prismora::hostsim::test {
namespace {

class CudaDeviceFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (CudaDeviceCount() == 0) {
            GTEST_SKIP() << "no CUDA device";
        }
        HostOptions options;
        options.gpu_device = GpuDeviceChoice::kCudaIfPresent;
        options.gpu_row_padding_pixels = 32;
        host_ = std::make_unique<Host>(HOSTSIM_PRISMORA_EFFECT, options);
        host_->Start();
    }

    std::unique_ptr<Host> host_;
};

TEST_F(CudaDeviceFrames, FullHdFramesAgreeWithTheCpuRender)
{
    ASSERT_NE(host_->AcceptedGpuOffer(), nullptr);
    EXPECT_FALSE(host_->gpu_device()->emulated());
    for (const int depth : {32, 8}) {
        const World input = SmoothCard(1920, 1080, FormatForDepth(depth));
        const World matte = EllipseMatte(1920, 1080, FormatForDepth(depth));
        const float step = depth == 8 ? 1.0f / 255.0f : 0.0f;
        for (const bool full_frame : {false, true}) {
            SCOPED_TRACE(std::string(full_frame ? "full frame with a matte" : "rounded rect") + " at " +
                         std::to_string(depth) + " bits");
            FrameJob gpu_job = host_->NewFrame(input, depth);
            gpu_job.path = RenderPath::kGpuWhenPossible;
            if (full_frame) {
                gpu_job.params.SetPopup(Param(*host_, "Glass Mode"), 2);
                gpu_job.params.SetLayer(Param(*host_, "Alpha Matte Layer"), &matte);
            }
            FrameJob cpu_job = gpu_job;
            cpu_job.path = RenderPath::kSmart;
            const FrameResult gpu = host_->Render(gpu_job);
            const FrameResult cpu = host_->Render(cpu_job);
            ASSERT_EQ(gpu.err, PF_Err_NONE) << gpu.message;
            ASSERT_EQ(cpu.err, PF_Err_NONE);
            EXPECT_EQ(gpu.path, "gpu");
            const Difference d = Compare(gpu.output, cpu.output, (full_frame ? 2e-2f : 2e-3f) + step);
            EXPECT_EQ(d.over, 0) << Describe(d);
        }
    }
    EXPECT_TRUE(host_->books().Imbalances().empty()) << ::testing::PrintToString(host_->books().Imbalances());
}

TEST_F(CudaDeviceFrames, FramesOnSeveralThreadsEqualTheSameFramesOneByOne)
{
    const World input = SmoothCard(1920, 1080, PixelFormat::kArgb128);
    std::vector<FrameJob> jobs;
    for (int i = 0; i < 4; ++i) {
        FrameJob job = host_->NewFrame(input, 32);
        job.path = RenderPath::kGpuWhenPossible;
        job.params.SetFloat(Param(*host_, "Blur Intensity"), 10.0 + 20.0 * i);
        jobs.push_back(std::move(job));
    }
    std::vector<FrameResult> one_by_one;
    for (const FrameJob &job : jobs) {
        one_by_one.push_back(host_->Render(job));
    }
    const std::vector<FrameResult> parallel = host_->RenderAll(jobs, 4);
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(parallel[i].path, "gpu");
        EXPECT_TRUE(parallel[i].output.SamePixels(one_by_one[i].output)) << "frame " << i;
    }
}

} // namespace
} // namespace prismora::hostsim::test
