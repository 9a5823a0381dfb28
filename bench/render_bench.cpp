// Milliseconds per CPU frame through the host, as After Effects renders them,
// beside the plain reading of the same frame (whole-frame blurs, every pixel
// through the shader, one thread) measured in the same run:
//   time        the whole frame through the host (its copies included)
//   effect_ms   the effect's smart render alone, without the host's copies
//   plain_ms    the plain reading of the frame body, called directly
//   speedup     plain_ms / effect_ms
// Cases are Scene/Resolution/Depth.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "cpu/cpu_render.h"
#include "cpu/matte_field_builder.h"
#include "hostsim/host.h"
#include "model/effect_settings.h"

namespace {

using prismora::hostsim::FormatForDepth;
using prismora::hostsim::FrameJob;
using prismora::hostsim::FrameResult;
using prismora::hostsim::Host;
using prismora::hostsim::World;

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
World TestImage(A_long width, A_long height, int bits)
{
    World w(width, height, FormatForDepth(bits));
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / width;
            const float v = static_cast<float>(y) / height;
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

// An opaque ellipse over the middle third of the frame's area.
World ThirdMatte(A_long width, A_long height, int bits)
{
    World w(width, height, FormatForDepth(bits));
    const float rx = 0.5f * width * 0.6f;
    const float ry = 0.5f * height * 0.7f; // pi * rx * ry is about a third of the frame
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const float dx = (x + 0.5f - 0.5f * width) / rx;
            const float dy = (y + 0.5f - 0.5f * height) / ry;
            if (dx * dx + dy * dy <= 1.0f) {
                w.Set(x, y, {1.0f, 1.0f, 1.0f, 1.0f});
            }
        }
    }
    return w;
}

enum class Scene { kDefaultPanel, kLargePanel, kFullFrameMatte, kBlur100 };

struct Frames {
    World input;
    World matte;
};

const Frames &FramesFor(A_long height, int bits)
{
    static std::map<std::pair<A_long, int>, Frames> frames;
    const auto key = std::make_pair(height, bits);
    if (!frames.contains(key)) {
        const A_long width = height * 16 / 9;
        frames.emplace(key, Frames{TestImage(width, height, bits), ThirdMatte(width, height, bits)});
    }
    return frames.at(key);
}

FrameJob JobFor(Scene scene, const Frames &frames, int bits)
{
    FrameJob job = TheHost().NewFrame(frames.input, bits);
    const auto index = [&](const char *name) { return *job.params.Find(name); };
    if (scene == Scene::kLargePanel) {
        job.params.SetFloat(index("Glass Width"), 1200.0);
        job.params.SetFloat(index("Glass Height"), 700.0);
    } else if (scene == Scene::kFullFrameMatte) {
        job.params.SetPopup(index("Glass Mode"), 2);
        job.params.SetLayer(index("Alpha Matte Layer"), &frames.matte);
    } else if (scene == Scene::kBlur100) {
        job.params.SetFloat(index("Blur Intensity"), 100.0);
    }
    return job;
}

template <typename Pixel> double PlainFrameMs(const FrameJob &job, const Frames &frames, Scene scene)
{
    const prismora::hostsim::ParamSet values =
        job.params.ResolvedFor(frames.input.width(), frames.input.height());
    std::vector<PF_ParamDef> records;
    std::vector<PF_ParamDef *> table;
    for (PF_ParamIndex i = 0; i < values.size(); ++i) {
        records.push_back(values.ValueRecord(i));
    }
    for (PF_ParamDef &record : records) {
        table.push_back(&record);
    }
    const prismora::EffectSettings settings = prismora::ReadEffectSettings(table.data());
    World output(frames.input.width(), frames.input.height(), frames.input.format());
    const auto start = std::chrono::steady_clock::now();
    prismora::MatteField field;
    const prismora::MatteField *matte = nullptr;
    if (scene == Scene::kFullFrameMatte && prismora::BuildMatteField<Pixel>(frames.matte.pf(), field)) {
        matte = &field;
    }
    prismora::PlainRender<Pixel>(&frames.input.pf(), &output.pf(), settings, matte);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Measured once per case (the library may call a benchmark more than once);
// the best of a few frames at 1080p, one frame at 2160p.
double PlainMs(const std::string &name, const FrameJob &job, const Frames &frames, Scene scene, int bits)
{
    static std::map<std::string, double> measured;
    if (!measured.contains(name)) {
        double best = INFINITY;
        for (int i = 0; i < (frames.input.height() > 1080 ? 1 : 2); ++i) {
            best = std::min(best, bits == 8 ? PlainFrameMs<PF_Pixel8>(job, frames, scene)
                                            : PlainFrameMs<PF_PixelFloat>(job, frames, scene));
        }
        measured[name] = best;
    }
    return measured.at(name);
}

void RenderFrames(benchmark::State &state, const std::string &name, Scene scene, A_long height, int bits)
{
    Host &host = TheHost();
    const Frames &frames = FramesFor(height, bits);
    const FrameJob job = JobFor(scene, frames, bits);
    double effect_ms = 0.0;
    for (auto _ : state) {
        const FrameResult frame = host.Render(job);
        if (frame.err != PF_Err_NONE) {
            state.SkipWithError(("the effect returned " + std::to_string(frame.err)).c_str());
            return;
        }
        for (const auto &tile : frame.tiles) {
            effect_ms += tile.render_ms - tile.host_copy_ms;
        }
        benchmark::DoNotOptimize(frame.output.pf().data);
    }
    const double plain_ms = PlainMs(name, job, frames, scene, bits);
    const double mean_effect_ms = effect_ms / static_cast<double>(state.iterations());
    state.counters["effect_ms"] = mean_effect_ms;
    state.counters["plain_ms"] = plain_ms;
    state.counters["speedup"] = plain_ms / mean_effect_ms;
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const std::tuple<const char *, Scene> scenes[] = {{"DefaultPanel", Scene::kDefaultPanel},
                                                      {"Panel1200x700", Scene::kLargePanel},
                                                      {"FullFrameThirdMatte", Scene::kFullFrameMatte},
                                                      {"Blur100", Scene::kBlur100}};
    for (const auto &[scene_name, scene] : scenes) {
        for (const A_long height : {1080, 2160}) {
            for (const int bits : {8, 32}) {
                const std::string name = std::string(scene_name) + "/" + std::to_string(height) + "p/" +
                                         std::to_string(bits) + "bit";
                benchmark::RegisterBenchmark(name.c_str(), RenderFrames, name, scene, height, bits)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime()
                    ->MinTime(0.3);
            }
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
