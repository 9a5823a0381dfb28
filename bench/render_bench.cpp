// Milliseconds per 1920 x 1080 frame through the host, as After Effects would
// render them on the CPU: the default panel, a large panel, and Full Frame
// with a matte over a third of the frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "hostsim/host.h"

namespace {

using prismora::hostsim::FormatForDepth;
using prismora::hostsim::FrameJob;
using prismora::hostsim::FrameResult;
using prismora::hostsim::Host;
using prismora::hostsim::World;

constexpr A_long kWidth = 1920;
constexpr A_long kHeight = 1080;

Host &TheHost()
{
    static const std::unique_ptr<Host> host = [] {
        prismora::hostsim::HostOptions options;
        options.gpu_device = prismora::hostsim::GpuDeviceChoice::kNone; // CPU frames only
        auto h = std::make_unique<Host>(PRISMORA_BENCH_PLUGIN, options);
        h->Start();
        return h;
    }();
    return *host;
}

// Detail at every scale, so the blur and the refraction read varied pixels:
// a colour wheel over ramps, a fine checkerboard and thin diagonal lines.
World TestImage(int bits)
{
    World w(kWidth, kHeight, FormatForDepth(bits));
    for (A_long y = 0; y < kHeight; ++y) {
        for (A_long x = 0; x < kWidth; ++x) {
            const float u = static_cast<float>(x) / kWidth;
            const float v = static_cast<float>(y) / kHeight;
            const float angle = std::atan2(v - 0.5f, u - 0.5f);
            const bool check = ((x / 24) + (y / 24)) % 2 == 0;
            const bool line = (x + y) % 40 < 2;
            w.Set(x, y,
                  {1.0f, 0.5f + 0.5f * std::cos(angle) * u, line ? 1.0f : 0.5f + 0.5f * std::sin(angle) * v,
                   check ? 0.85f : 0.15f});
        }
    }
    return w;
}

// An opaque rounded blob over the middle third of the frame's area.
World ThirdMatte(int bits)
{
    World w(kWidth, kHeight, FormatForDepth(bits));
    const float rx = 0.5f * kWidth * 0.6f;
    const float ry = 0.5f * kHeight * 0.7f; // pi * rx * ry is about a third of the frame
    for (A_long y = 0; y < kHeight; ++y) {
        for (A_long x = 0; x < kWidth; ++x) {
            const float dx = (x + 0.5f - 0.5f * kWidth) / rx;
            const float dy = (y + 0.5f - 0.5f * kHeight) / ry;
            if (dx * dx + dy * dy <= 1.0f) {
                w.Set(x, y, {1.0f, 1.0f, 1.0f, 1.0f});
            }
        }
    }
    return w;
}

enum class Scene { kDefaultPanel, kLargePanel, kFullFrameMatte };

void RenderFrames(benchmark::State &state, Scene scene, int bits)
{
    Host &host = TheHost();
    // Made once per depth: the benchmark runs this function more than once.
    static std::map<int, World> inputs;
    static std::map<int, World> mattes;
    if (!inputs.contains(bits)) {
        inputs.emplace(bits, TestImage(bits));
        mattes.emplace(bits, ThirdMatte(bits));
    }
    const World &input = inputs.at(bits);
    const World &matte = mattes.at(bits);
    FrameJob job = host.NewFrame(input, bits);
    const auto index = [&](const char *name) { return *job.params.Find(name); };
    if (scene == Scene::kLargePanel) {
        job.params.SetFloat(index("Glass Width"), 1200.0);
        job.params.SetFloat(index("Glass Height"), 700.0);
    } else if (scene == Scene::kFullFrameMatte) {
        job.params.SetPopup(index("Glass Mode"), 2);
        job.params.SetLayer(index("Alpha Matte Layer"), &matte);
    }
    for (auto _ : state) {
        const FrameResult frame = host.Render(job);
        if (frame.err != PF_Err_NONE) {
            state.SkipWithError(("the effect returned " + std::to_string(frame.err)).c_str());
            break;
        }
        benchmark::DoNotOptimize(frame.output.pf().data);
    }
}

void Register(const char *name, Scene scene)
{
    for (const int bits : {8, 32}) {
        benchmark::RegisterBenchmark((std::string(name) + "/" + std::to_string(bits) + "bit").c_str(),
                                     RenderFrames, scene, bits)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    Register("DefaultPanel", Scene::kDefaultPanel);
    Register("Panel1200x700", Scene::kLargePanel);
    Register("FullFrameThirdMatte", Scene::kFullFrameMatte);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
