// Every way the host can fail one frame, on every path (CPU smart render, plain
// render, tiles, the emulated GPU) at every depth: each call in a clean frame's
// call log fails in turn, and each null the host can hand over is handed over.
// The effect returns the host's code (or absorbs what it may, with the clean
// frame), gives back everything it took, and the next frame is the clean one.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>

#include "e2e_fixture.h"
#include "support/scoped_log_dir.h"

namespace prismora::e2e {
namespace {

using hostsim::HostCall;
using hostsim::NullInjection;

constexpr PF_Err kInjected = 7; // a code the effect never makes itself

struct PathCase {
    const char *name;
    RenderPath path;
    bool tiled;
};
const PathCase kPaths[] = {{"cpu smart", RenderPath::kSmart, false},
                           {"plain", RenderPath::kLegacy, false},
                           {"tiles", RenderPath::kSmart, true},
                           {"gpu", RenderPath::kGpuWhenPossible, false}};

class EveryFailure : public ::testing::TestWithParam<int> {
protected:
    PixelFormat format() const { return hostsim::FormatForDepth(GetParam()); }

    // Full Frame with a matte, blurred: both layers and every renderer step
    // take part. The plain render takes no matte, so it gets the panel.
    FrameJob Job(const PathCase &p) const
    {
        FrameJob job = EmulatedHost().NewFrame(input_, GetParam());
        job.path = p.path;
        job.params.SetFloat(kParamBlurIntensity, 20.0);
        job.params.SetPopup(kParamGlassMode, p.path == RenderPath::kLegacy ? 1 : 2);
        job.params.SetFloat(kParamGlassWidth, 14.0);
        job.params.SetFloat(kParamGlassHeight, 9.0);
        job.params.SetLayer(kParamAlphaMatte, &matte_);
        job.tile_width = p.tiled ? 12 : 0;
        job.tile_height = p.tiled ? 8 : 0;
        return job;
    }

    const World input_ = PatternWorld(20, 14, format());
    const World matte_ = EllipseMatte(20, 14, format(), 9.0f, 7.0f, 7.0f, 5.0f);
};

// The books' line for a return the host refused, so the taken thing stays out.
std::string RefusedReturn(const HostCall &call)
{
    if (call.callback == "ReleaseSuite") {
        return "suite \"" + call.detail + "\"";
    }
    static const std::map<std::string, std::string> kLines = {
        {"checkin_param", "checkout_param / checkin_param"},
        {"checkin_layer_pixels", "checkout_layer_pixels / checkin_layer_pixels"},
        {"DisposeGPUWorld", "GPU worlds created / disposed"}};
    const auto it = kLines.find(call.callback);
    return it == kLines.end() ? "" : it->second;
}

// Only the one thing the host refused to take back stays out: its count one
// short, and at most the host's note of it.
::testing::AssertionResult OneThingLeftOut(const std::vector<std::string> &books, const std::string &refused)
{
    long taken = 0, returned = 0;
    int counted = 0;
    for (const std::string &line : books) {
        const size_t at = line.find(": ");
        if (line.starts_with(refused) && at != std::string::npos &&
            std::sscanf(line.c_str() + at, ": %ld taken, %ld returned", &taken, &returned) == 2) {
            if (taken - returned != 1) {
                return ::testing::AssertionFailure() << line;
            }
            ++counted;
        } else if (!line.ends_with(" left 1 parameter(s) checked out") &&
                   !line.ends_with(" was not checked in") &&
                   !(line.starts_with("1 ") && line.ends_with(" were not disposed"))) {
            return ::testing::AssertionFailure() << line;
        }
    }
    if (counted != 1 || books.size() > 2) {
        return ::testing::AssertionFailure() << ::testing::PrintToString(books);
    }
    return ::testing::AssertionSuccess();
}

TEST_P(EveryFailure, EveryHostCallAndEveryNullFailsCleanly)
{
    Host &host = EmulatedHost();
    int nulls = 0;
    for (const PathCase &p : kPaths) {
        SCOPED_TRACE(p.name);
        host.books().Reset();
        const FrameJob job = Job(p);
        const FrameResult clean = host.Render(job);
        ASSERT_EQ(clean.err, PF_Err_NONE);
        const std::vector<HostCall> log = host.books().CallLog();
        FrameJob cpu_job = job;
        cpu_job.path = RenderPath::kSmart;
        const FrameResult cpu = host.Render(cpu_job);
        const auto next_frame_is_clean = [&] {
            host.books().Reset();
            const FrameResult next = host.Render(job);
            EXPECT_EQ(next.err, PF_Err_NONE);
            EXPECT_TRUE(SameFrame(next.output, clean.output)) << "the next frame is unharmed";
            EXPECT_TRUE(host.books().Imbalances().empty());
        };

        std::map<std::string, int> seen;
        bool memory_asked = false; // a GPU frame has asked for its layers' device memory
        for (const HostCall &call : log) {
            const int nth = ++seen[call.callback];
            SCOPED_TRACE(call.callback + " " + call.detail + " #" + std::to_string(nth));
            ASSERT_NE(call.callback, "sprintf") << "a clean frame shows no message";
            memory_asked = memory_asked || call.callback == "GetGPUWorldData";
            host.books().Reset();
            host.books().FailNthCall(call.callback, nth, kInjected);
            std::optional<prismora::test::ScopedLogDir> gpu_log;
            if (p.path == RenderPath::kGpuWhenPossible) {
                gpu_log.emplace();
            }
            const FrameResult failed = host.Render(job);
            ASSERT_GE(host.books().Calls(call.callback), nth) << "the frame reached the failed call";
            // The plain render asks the world suite for the output's depth and
            // falls back to the world's layout without it.
            const bool plain_depth = p.path == RenderPath::kLegacy && call.detail == "PF World Suite";
            const bool absorbed =
                (call.callback == "AcquireSuite" && (call.detail == "PF Iterate8 Suite" || plain_depth)) ||
                call.callback == "ReleaseSuite" || // the suite scoper cannot answer it
                (call.callback == "PF_GetPixelFormat" && failed.path.starts_with("cpu"));
            if (absorbed) { // one thread, a release not booked, a frame the GPU declines
                EXPECT_EQ(failed.err, PF_Err_NONE);
                EXPECT_TRUE(SameFrame(failed.output, (failed.path == clean.path ? clean : cpu).output));
            } else if (call.callback == "AcquireSuite") { // the suite scoper throws, and says so
                EXPECT_EQ(failed.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
                EXPECT_EQ(failed.message, "Not able to acquire AEFX Suite.");
            } else {
                EXPECT_EQ(failed.err, kInjected);
            }
            if (failed.path == "gpu: error 7") { // the device memory is logged on failure too, and the code
                std::vector<std::string> lines = gpu_log->Lines();
                std::erase_if(lines, [](const auto &l) { return !l.starts_with("SmartRenderGPU(CUDA): "); });
                ASSERT_FALSE(lines.empty());
                EXPECT_EQ(lines.back(), "SmartRenderGPU(CUDA): return err=7");
                EXPECT_EQ(std::ranges::count_if(
                              lines, [](const auto &l) { return l.find("_mem=") != std::string::npos; }),
                          memory_asked ? 3 : 0);
            }
            if (!p.tiled && failed.err != PF_Err_NONE) {
                // Nothing is taken after a failure, and a failed pre-render leaves no record.
                const std::vector<HostCall> after = host.books().CallLog();
                size_t i = 0;
                for (int k = 0; k < nth; ++i) {
                    k += after[i].callback == call.callback ? 1 : 0;
                }
                for (; i < after.size(); ++i) {
                    EXPECT_FALSE(after[i].callback.starts_with("checkout")) << after[i].callback;
                }
                EXPECT_EQ(host.books().Totals().pre_render_records,
                          p.path == RenderPath::kLegacy || failed.failed_command == PF_Cmd_SMART_PRE_RENDER
                              ? 0
                              : 1);
            }
            const std::vector<std::string> books = host.books().Imbalances();
            const std::string refused = RefusedReturn(call);
            EXPECT_TRUE(refused.empty() ? books.empty() : OneThingLeftOut(books, refused))
                << ::testing::PrintToString(books);
            next_frame_is_clean();
        }
        std::cout << "[ failures ] " << p.name << ", " << GetParam() << " bits: " << log.size()
                  << " host calls, every one failed\n";

        // A null handed over: the command is refused with nothing written, or,
        // for an input checked out as no world, the frame is transparent. The
        // host hands no null output pixels to a GPU render.
        const bool smart = p.path != RenderPath::kLegacy;
        const std::pair<bool NullInjection::*, PF_Err> cases[] = {
            {&NullInjection::in_data, PF_Err_BAD_CALLBACK_PARAM},
            {smart ? &NullInjection::pre_render_extra : &NullInjection::params, PF_Err_BAD_CALLBACK_PARAM},
            {smart ? &NullInjection::smart_render_extra : &NullInjection::output, PF_Err_BAD_CALLBACK_PARAM},
            {smart ? &NullInjection::pre_render_data : nullptr, PF_Err_INTERNAL_STRUCT_DAMAGED},
            {smart ? &NullInjection::input_pixels : nullptr, PF_Err_NONE},
            {p.path != RenderPath::kGpuWhenPossible ? &NullInjection::output_data : nullptr,
             PF_Err_BAD_CALLBACK_PARAM}};
        for (size_t i = 0; i < std::size(cases); ++i) {
            const auto [field, err] = cases[i];
            if (field == nullptr) {
                continue;
            }
            SCOPED_TRACE(i);
            ++nulls;
            host.books().Reset();
            FrameJob null_job = job;
            null_job.nulls.*field = true;
            const FrameResult frame = host.Render(null_job);
            EXPECT_EQ(frame.err, err);
            EXPECT_TRUE(SameFrame(frame.output, World(20, 14, format())))
                << "transparent, or nothing written";
            EXPECT_EQ(host.books().Imbalances(), std::vector<std::string>{});
            next_frame_is_clean();
        }
    }
    EXPECT_EQ(nulls, 21);

    // An output without pixels is the first error, before a failed check-in.
    host.books().Reset();
    FrameJob job = Job(kPaths[0]);
    job.nulls.output_data = true;
    host.books().FailNthCall("checkin_layer_pixels", 1, kInjected);
    EXPECT_EQ(host.Render(job).err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.books().Calls("checkin_layer_pixels"), 2);
    host.books().Reset();
}

// The user cancels: the host's abort answers its cancel code between bands.
// The frame stops there with that code, gives back what it took, and the
// next frame is whole. Progress is reported after every band.
TEST_P(EveryFailure, ACancelStopsTheFrameBetweenBands)
{
    Host &host = EmulatedHost();
    const FrameJob job = Job(kPaths[0]);
    host.books().Reset();
    const FrameResult clean = host.Render(job);
    const long asks = host.books().Calls("abort");
    EXPECT_GT(asks, 10);
    EXPECT_EQ(host.books().Calls("progress"), asks) << "progress after every band";
    for (const long nth : {1L, asks / 2, asks}) {
        SCOPED_TRACE(nth);
        host.books().Reset();
        host.books().FailNthCall("abort", static_cast<int>(nth), PF_Interrupt_CANCEL);
        EXPECT_EQ(host.Render(job).err, PF_Interrupt_CANCEL);
        EXPECT_EQ(host.books().Calls("abort"), nth) << "no band starts after the cancel";
        EXPECT_EQ(host.books().Calls("progress"), nth - 1);
        EXPECT_TRUE(host.books().Imbalances().empty());
        host.books().Reset();
        EXPECT_TRUE(SameFrame(host.Render(job).output, clean.output));
    }
    // On many threads only the first asks, and the frame's later steps never start.
    Host &threaded = SharedHost();
    threaded.books().Reset();
    threaded.books().FailNthCall("abort", 1, PF_Interrupt_CANCEL);
    EXPECT_EQ(threaded.Render(job).err, PF_Interrupt_CANCEL);
    EXPECT_EQ(threaded.books().Calls("iterate_generic"), 1);
    EXPECT_EQ(threaded.books().Imbalances(), std::vector<std::string>{});
    threaded.books().Reset();
}

INSTANTIATE_TEST_SUITE_P(Depths, EveryFailure, ::testing::Values(8, 16, 32));

} // namespace
} // namespace prismora::e2e
