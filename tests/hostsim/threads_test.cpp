// Several frames at once through one loaded plug-in.
#include <gtest/gtest.h>

#include "hostsim_fixture.h"

namespace prismora::hostsim::test {
namespace {

using Threads = FakeHostTest;

TEST_F(Threads, FramesOnSeveralThreadsEqualTheSameFramesOneByOne)
{
    std::vector<World> inputs;
    const int depths[] = {8, 16, 32};
    for (unsigned i = 0; i < 9; ++i) {
        inputs.push_back(NoiseWorld(17 + static_cast<A_long>(i), 13, FormatForDepth(depths[i % 3]), 100 + i));
    }
    std::vector<FrameJob> jobs;
    for (size_t i = 0; i < inputs.size(); ++i) {
        FrameJob job = host().NewFrame(inputs[i], depths[i % 3]);
        job.params.SetPopup(kFakeMode, 1 + static_cast<A_long>(i % 2));
        job.params.SetFloat(kFakeMargin, static_cast<double>(i));
        if (i % 3 == 1) {
            job.tile_width = 6;
            job.tile_height = 4;
        }
        job.path = i == 4 ? RenderPath::kLegacy : RenderPath::kSmart;
        jobs.push_back(std::move(job));
    }
    std::vector<FrameResult> one_by_one;
    for (const FrameJob &job : jobs) {
        one_by_one.push_back(host().Render(job));
    }
    state().arrivals = 0;
    state().rendezvous = 4; // the first four smart renders wait for one another
    const std::vector<FrameResult> parallel = host().RenderAll(jobs, 4);
    EXPECT_TRUE(state().rendezvous_met);
    ASSERT_EQ(parallel.size(), jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(parallel[i].err, PF_Err_NONE);
        EXPECT_TRUE(parallel[i].output.SamePixels(one_by_one[i].output)) << "frame " << i;
    }
    EXPECT_EQ(state().deletes, state().pre_renders);
    ExpectBalancedBooks();
}

TEST_F(Threads, InjectedFailuresAndBooksHoldAcrossThreads)
{
    const World input = NoiseWorld(10, 10, PixelFormat::kArgb32, 200);
    std::vector<FrameJob> jobs(12, host().NewFrame(input, 8));
    host().books().FailNthCall("checkout_output", 5, 33);
    const std::vector<FrameResult> results = host().RenderAll(jobs, 3);
    int failed = 0;
    for (const FrameResult &r : results) {
        failed += r.err == 33;
    }
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(host().books().Calls("checkout_output"), 12);
    EXPECT_EQ(host().books().Totals().pre_render_deletes, 12);
    ExpectBalancedBooks();
}

} // namespace
} // namespace prismora::hostsim::test
