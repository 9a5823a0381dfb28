// Every way the host can fail one frame, on every path (CPU smart render,
// plain render, tiles, the emulated GPU) at every depth: each call of a clean
// frame's call log is failed in turn, and each null the host can hand over is
// handed over. The effect returns the host's code (or absorbs a failure it may
// absorb, with the clean frame), gives back everything it took, and the next
// frame is the clean one.
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
    int bits() const { return GetParam(); }
    PixelFormat format() const { return hostsim::FormatForDepth(bits()); }

    // Full Frame with a matte, blurred: both layers and every renderer step
    // take part. The plain render takes no matte, so it gets the panel.
    FrameJob Job(const PathCase &p) const
    {
        FrameJob job = EmulatedHost().NewFrame(input_, bits());
        job.path = p.path;
        job.params.SetFloat(kParamBlurIntensity, 20.0);
        if (p.path == RenderPath::kLegacy) {
            job.params.SetFloat(kParamGlassWidth, 14.0);
            job.params.SetFloat(kParamGlassHeight, 9.0);
        } else {
            job.params.SetPopup(kParamGlassMode, 2);
            job.params.SetLayer(kParamAlphaMatte, &matte_);
        }
        if (p.tiled) {
            job.tile_width = 12;
            job.tile_height = 8;
        }
        return job;
    }

    const World input_ = PatternWorld(20, 14, format());
    const World matte_ = EllipseMatte(20, 14, format(), 9.0f, 7.0f, 7.0f, 5.0f);
};

// The books' line for a return the host refused, so the taken thing stays out.
std::string RefusedReturn(const HostCall &call)
{
    if (call.callback == "ReleaseSuite") {
        return "suite \"" + call.detail + "\" acquired / released";
    }
    static const std::map<std::string, std::string> kLines = {
        {"checkin_param", "checkout_param / checkin_param"},
        {"checkin_layer_pixels", "checkout_layer_pixels / checkin_layer_pixels"},
        {"DisposeGPUWorld", "GPU worlds created / disposed"}};
    const auto it = kLines.find(call.callback);
    return it == kLines.end() ? "" : it->second;
}

// The books show exactly one thing the host refused to take back: its count
// one short, and at most the host's note naming it.
::testing::AssertionResult OneThingLeftOut(const std::vector<std::string> &books, const std::string &refused)
{
    int counted = 0;
    for (const std::string &line : books) {
        long taken = 0;
        long returned = 0;
        if (std::sscanf(line.c_str(), (refused + ": %ld taken, %ld returned").c_str(), &taken, &returned) ==
                2 &&
            taken - returned == 1) {
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

// Failures the effect may absorb: without the thread suite it works on one
// thread; a failed release cannot be answered (the suite scoper ignores it);
// without the output's format the GPU declines and the CPU renders.
bool Absorbed(const HostCall &call, const std::string &path)
{
    return (call.callback == "AcquireSuite" && call.detail == "PF Iterate8 Suite") ||
           call.callback == "ReleaseSuite" ||
           (call.callback == "PF_GetPixelFormat" && path.starts_with("cpu"));
}

TEST_P(EveryFailure, EveryHostCallOfAFrameFailsCleanly)
{
    Host &host = EmulatedHost();
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

        std::map<std::string, int> seen;
        size_t memory_asked = log.size(); // where a GPU frame asks for its layers' device memory
        for (size_t i = 0; i < log.size() && memory_asked == log.size(); ++i) {
            memory_asked = log[i].callback == "GetGPUWorldData" ? i : memory_asked;
        }
        for (size_t i = 0; i < log.size(); ++i) {
            const HostCall &call = log[i];
            const int nth = ++seen[call.callback];
            SCOPED_TRACE(call.callback + " " + call.detail + " #" + std::to_string(nth));
            ASSERT_NE(call.callback, "sprintf") << "a clean frame shows no message";
            host.books().Reset();
            host.books().FailNthCall(call.callback, nth, kInjected);
            std::optional<prismora::test::ScopedLogDir> gpu_log;
            if (p.path == RenderPath::kGpuWhenPossible) {
                gpu_log.emplace();
            }
            const FrameResult failed = host.Render(job);
            if (failed.path == "gpu: error " + std::to_string(kInjected)) {
                // The GPU log names the device memory it got, on failure too, and the code.
                std::vector<std::string> lines;
                for (const std::string &line : gpu_log->Lines()) {
                    if (line.starts_with("SmartRenderGPU(CUDA): ")) {
                        lines.push_back(line);
                    }
                }
                ASSERT_FALSE(lines.empty());
                EXPECT_EQ(lines.back(), "SmartRenderGPU(CUDA): return err=" + std::to_string(kInjected));
                EXPECT_EQ(
                    std::count_if(lines.begin(), lines.end(),
                                  [](const std::string &l) { return l.find("_mem=") != std::string::npos; }),
                    i >= memory_asked ? 3 : 0);
            }
            ASSERT_GE(host.books().Calls(call.callback), nth) << "the frame reached the failed call";
            const std::vector<std::string> books = host.books().Imbalances();
            if (Absorbed(call, failed.path)) {
                EXPECT_EQ(failed.err, PF_Err_NONE);
                EXPECT_TRUE(SameFrame(failed.output, (failed.path == clean.path ? clean : cpu).output));
            } else if (call.callback == "AcquireSuite") { // the suite scoper throws, and says so
                EXPECT_EQ(failed.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
                EXPECT_EQ(failed.message, "Not able to acquire AEFX Suite.");
            } else {
                EXPECT_EQ(failed.err, kInjected);
            }
            if (!p.tiled && failed.err != PF_Err_NONE) {
                // Nothing is taken after a failure, and a failed pre-render leaves no record.
                const std::vector<HostCall> after = host.books().CallLog();
                long failed_at = 0;
                for (int k = 0; k < nth; ++failed_at) {
                    k += after[failed_at].callback == call.callback ? 1 : 0;
                }
                for (size_t i = failed_at; i < after.size(); ++i) {
                    EXPECT_FALSE(after[i].callback.starts_with("checkout")) << after[i].callback;
                }
                if (p.path != RenderPath::kLegacy) {
                    EXPECT_EQ(host.books().Totals().pre_render_records,
                              failed.failed_command == PF_Cmd_SMART_PRE_RENDER ? 0 : 1);
                }
            }
            const std::string refused = RefusedReturn(call);
            if (refused.empty()) {
                EXPECT_TRUE(books.empty()) << ::testing::PrintToString(books);
            } else {
                EXPECT_TRUE(OneThingLeftOut(books, refused));
            }
            host.books().Reset();
            const FrameResult next = host.Render(job);
            EXPECT_EQ(next.err, PF_Err_NONE);
            EXPECT_TRUE(SameFrame(next.output, clean.output)) << "the next frame is unharmed";
            EXPECT_TRUE(host.books().Imbalances().empty());
        }
        std::cout << "[ failures ] " << p.name << ", " << bits() << " bits: " << log.size()
                  << " host calls, every one failed\n";
    }
}

// A host that hands over a null: the command is refused with nothing written,
// or, for an input checked out as no world, the frame is transparent.
TEST_P(EveryFailure, EveryNullFromTheHost)
{
    struct Null {
        bool NullInjection::*field;
        bool smart; // smart render paths, else the plain render
        PF_Err err;
        bool gpu = true; // the host can hand it to a GPU render
    };
    const Null nulls[] = {{&NullInjection::in_data, true, PF_Err_BAD_CALLBACK_PARAM},
                          {&NullInjection::pre_render_extra, true, PF_Err_BAD_CALLBACK_PARAM},
                          {&NullInjection::smart_render_extra, true, PF_Err_BAD_CALLBACK_PARAM},
                          {&NullInjection::pre_render_data, true, PF_Err_INTERNAL_STRUCT_DAMAGED},
                          {&NullInjection::input_pixels, true, PF_Err_NONE},
                          {&NullInjection::output_data, true, PF_Err_BAD_CALLBACK_PARAM, false},
                          {&NullInjection::in_data, false, PF_Err_BAD_CALLBACK_PARAM},
                          {&NullInjection::params, false, PF_Err_BAD_CALLBACK_PARAM},
                          {&NullInjection::output, false, PF_Err_BAD_CALLBACK_PARAM},
                          {&NullInjection::output_data, false, PF_Err_BAD_CALLBACK_PARAM}};
    Host &host = EmulatedHost();
    int count = 0;
    for (const PathCase &p : kPaths) {
        SCOPED_TRACE(p.name);
        host.books().Reset();
        const FrameJob clean_job = Job(p);
        const FrameResult clean = host.Render(clean_job);
        for (const Null &n : nulls) {
            if (n.smart != (p.path != RenderPath::kLegacy) ||
                (!n.gpu && p.path == RenderPath::kGpuWhenPossible)) {
                continue;
            }
            SCOPED_TRACE(&n - nulls);
            ++count;
            host.books().Reset();
            FrameJob job = clean_job;
            job.nulls.*(n.field) = true;
            const FrameResult frame = host.Render(job);
            EXPECT_EQ(frame.err, n.err);
            EXPECT_TRUE(SameFrame(frame.output, World(20, 14, format())))
                << "transparent, or nothing written";
            EXPECT_TRUE(host.books().Imbalances().empty())
                << ::testing::PrintToString(host.books().Imbalances());
            const hostsim::BookTotals t = host.books().Totals();
            EXPECT_EQ(t.pre_render_records, t.pre_render_deletes);
            host.books().Reset();
            const FrameResult next = host.Render(clean_job);
            EXPECT_EQ(next.err, PF_Err_NONE);
            EXPECT_TRUE(SameFrame(next.output, clean.output)) << "the next frame is unharmed";
        }
    }
    EXPECT_EQ(count, 21);

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
        const FrameResult cancelled = host.Render(job);
        EXPECT_EQ(cancelled.err, PF_Interrupt_CANCEL);
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
    EXPECT_TRUE(threaded.books().Imbalances().empty())
        << ::testing::PrintToString(threaded.books().Imbalances());
    threaded.books().Reset();
}

INSTANTIATE_TEST_SUITE_P(Depths, EveryFailure, ::testing::Values(8, 16, 32));

} // namespace
} // namespace prismora::e2e
