// GPU frames against CPU frames of the same input through the host, on the
// real CUDA device: milliseconds per frame on each path and the largest
// difference between their outputs, per scenario. Prints that there is no
// device, and succeeds, where the CUDA runtime reports none.
//
//   prismora_gpu_bench [--gpu-frames N] [--cpu-frames N]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "hostsim/host.h"
#include "hostsim/host_error.h"

namespace {

using namespace prismora::hostsim;

// Slow waves: what a GPU frame reads at positions that differ from the CPU's
// in the last bits stays close to what the CPU reads.
World Card(A_long width, A_long height)
{
    World w(width, height, PixelFormat::kArgb128);
    for (A_long y = 0; y < height; ++y) {
        auto *row = &w.At<PF_PixelFloat>(0, y);
        for (A_long x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / static_cast<float>(width);
            const float v = static_cast<float>(y) / static_cast<float>(height);
            row[x] = {0.75f + 0.25f * v, 0.5f + 0.45f * std::sin(u * 9.0f + v * 3.0f), u * 0.9f + 0.05f,
                      0.5f + 0.45f * std::cos(v * 7.0f - u * 2.0f)};
        }
    }
    return w;
}

// An opaque ellipse with a soft edge over a third of the frame.
World Matte(A_long width, A_long height)
{
    World w(width, height, PixelFormat::kArgb128);
    const float rx = 0.326f * static_cast<float>(width);
    const float ry = 0.326f * static_cast<float>(height);
    for (A_long y = 0; y < height; ++y) {
        auto *row = &w.At<PF_PixelFloat>(0, y);
        for (A_long x = 0; x < width; ++x) {
            const float dx = (static_cast<float>(x) - 0.45f * static_cast<float>(width)) / rx;
            const float dy = (static_cast<float>(y) - 0.5f * static_cast<float>(height)) / ry;
            const float inside = (1.0f - std::sqrt(dx * dx + dy * dy)) * std::min(rx, ry) / 3.0f;
            row[x] = {std::clamp(inside, 0.0f, 1.0f), 1.0f, 1.0f, 1.0f};
        }
    }
    return w;
}

float LargestDifference(const World &a, const World &b)
{
    float largest = 0.0f;
    for (A_long y = 0; y < a.height(); ++y) {
        const auto *p = &a.At<PF_PixelFloat>(0, y);
        const auto *q = &b.At<PF_PixelFloat>(0, y);
        for (A_long x = 0; x < a.width(); ++x) {
            for (const float d : {p[x].alpha - q[x].alpha, p[x].red - q[x].red, p[x].green - q[x].green,
                                  p[x].blue - q[x].blue}) {
                largest = std::isnan(d) ? INFINITY : std::max(largest, std::fabs(d));
            }
        }
    }
    return largest;
}

struct Timing {
    double frame_ms = INFINITY;  // the whole frame through the host, best of the runs
    double render_ms = INFINITY; // the effect's render command alone
};

// Renders the job `frames` times; the last output stays in *last.
Timing Time(Host &host, const FrameJob &job, int frames, FrameResult *last, const char *expected_path)
{
    Timing t;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        FrameResult r = host.Render(job);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (r.err != PF_Err_NONE || r.path != expected_path) {
            throw HostError("frame answered " + std::to_string(r.err) + " on path \"" + r.path + "\"");
        }
        t.frame_ms = std::min(t.frame_ms, ms);
        double render = 0.0;
        for (const TileReport &tile : r.tiles) {
            render += tile.render_ms;
        }
        t.render_ms = std::min(t.render_ms, render);
        *last = std::move(r);
    }
    return t;
}

int Run(int gpu_frames, int cpu_frames)
{
    if (CudaDeviceCount() == 0) {
        std::printf("prismora_gpu_bench: no CUDA device; nothing to measure\n");
        return 0;
    }
    HostOptions options;
    options.gpu_device = GpuDeviceChoice::kCudaIfPresent;
    Host host(PRISMORA_BENCH_PLUGIN, options);
    host.Start();
    if (!host.AcceptedGpuOffer()) {
        std::printf("prismora_gpu_bench: the effect did not accept the CUDA device\n");
        return 1;
    }
    std::printf("device: %s\n", host.gpu_device()->Name().c_str());
    std::printf("%-34s %12s %12s %12s %12s %12s\n", "scenario (32 bpc)", "gpu ms/frame", "gpu render",
                "cpu ms/frame", "cpu render", "max |g-c|");
    const PF_ParamIndex mode = host.params().Find("Glass Mode").value();
    const PF_ParamIndex matte_param = host.params().Find("Alpha Matte Layer").value();
    const struct {
        A_long width, height;
    } sizes[] = {{1920, 1080}, {3840, 2160}};
    for (const auto &size : sizes) {
        const World input = Card(size.width, size.height);
        const World matte = Matte(size.width, size.height);
        for (const bool full_frame : {false, true}) {
            FrameJob job = host.NewFrame(input, 32);
            if (full_frame) {
                job.params.SetPopup(mode, 2);
                job.params.SetLayer(matte_param, &matte);
            }
            job.path = RenderPath::kGpuWhenPossible;
            FrameResult gpu;
            Time(host, job, 1, &gpu, "gpu"); // warm-up: module load, first allocations
            const Timing g = Time(host, job, gpu_frames, &gpu, "gpu");
            job.path = RenderPath::kSmart;
            FrameResult cpu;
            const Timing c = Time(host, job, cpu_frames, &cpu, "cpu");
            const std::string name = std::to_string(size.width) + "x" + std::to_string(size.height) +
                                     (full_frame ? " full frame + matte" : " rounded rect");
            std::printf("%-34s %12.2f %12.2f %12.2f %12.2f %12.3g\n", name.c_str(), g.frame_ms, g.render_ms,
                        c.frame_ms, c.render_ms, LargestDifference(gpu.output, cpu.output));
            std::fflush(stdout);
        }
    }
    const std::vector<std::string> imbalances = host.books().Imbalances();
    for (const std::string &line : imbalances) {
        std::printf("books: %s\n", line.c_str());
    }
    return imbalances.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    int gpu_frames = 10;
    int cpu_frames = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--gpu-frames") == 0) {
            gpu_frames = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--cpu-frames") == 0) {
            cpu_frames = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    try {
        return Run(gpu_frames, cpu_frames);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "prismora_gpu_bench: %s\n", e.what());
        return 1;
    }
}
