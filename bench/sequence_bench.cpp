// Frames per second of `prismora render` over a sequence of 48 1920 x 1080
// 8-bit PNG frames, PNG to PNG: one frame at a time (--jobs 1) against the
// default (frames in flight sized to the cores and memory), in one run. The
// two alternate over a few rounds so that a change in the machine's load
// falls on both; every round's figure is printed, and the ratio of the best.
//
//   sequence_bench [ROUNDS (default 2)] [FOLDER (default: a temporary one)]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "cli/commands.h"
#include "cli/host_image.h"
#include "cli/image_file.h"
#include "cli/test_card.h"

namespace {

using prismora::cli::HostImage;

constexpr int kFrames = 48;
constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

// The test card rolled sideways a little more each frame, as a pan would.
HostImage FrameOf(const HostImage &card, int frame)
{
    HostImage image(kWidth, kHeight, 8);
    const int32_t shift = frame * 7 % kWidth;
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            image.at<PF_Pixel8>(x, y) = card.at<PF_Pixel8>((x + shift) % kWidth, y);
        }
    }
    return image;
}

// CPU seconds of every thread of this process so far; 0 where unknown. On a
// machine shared with other work, wall time shows only the share the
// scheduler gave; CPU time shows what the frames themselves cost.
double CpuSeconds()
{
#ifdef _WIN32
    return 0.0;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
#endif
}

// The CPU seconds of this process's busiest thread while a command runs,
// sampled from /proc (Linux; 0 elsewhere). Were every thread given a core of
// its own, the command could not finish sooner than that: on a machine whose
// scheduler gives this process one core however many threads it runs (other
// sessions busy), it shows what the frames in flight would gain on an idle one.
class BusiestThread {
public:
    BusiestThread()
    {
#ifndef _WIN32
        Sample();
        before_ = seconds_; // the threads that were here already count from now
        sampler_ = std::thread([this] {
            while (!stop_) {
                Sample();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
#endif
    }
    // Stops sampling; the busiest thread's CPU seconds.
    double Stop()
    {
        stop_ = true;
        if (sampler_.joinable()) {
            sampler_.join();
        }
        double busiest = 0.0;
        for (const auto &[tid, seconds] : seconds_) {
            const auto before = before_.find(tid);
            busiest = std::max(busiest, seconds - (before == before_.end() ? 0.0 : before->second));
        }
        return busiest;
    }
    ~BusiestThread()
    {
        Stop();
    }

private:
    void Sample()
    {
#ifndef _WIN32
        std::error_code ec;
        for (const auto &task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
            std::ifstream stat(task.path() / "stat");
            std::string line;
            std::getline(stat, line);
            std::istringstream fields(line.substr(line.rfind(')') + 2));
            std::string field;
            double ticks = 0.0;
            for (int i = 3; fields >> field && i <= 15; ++i) {
                if (i == 14 || i == 15) { // utime, stime
                    ticks += std::stod(field);
                }
            }
            const std::string tid = task.path().filename().string();
            seconds_[tid] = std::max(seconds_[tid], ticks / static_cast<double>(sysconf(_SC_CLK_TCK)));
        }
#endif
    }

    std::atomic<bool> stop_{false};
    std::map<std::string, double> seconds_; // by thread id
    std::map<std::string, double> before_;
    std::thread sampler_;
};

struct Timing {
    double fps = 0.0;
    double cpu_per_frame = 0.0;
    double fps_per_busiest_thread = 0.0; // frames per CPU second of the busiest thread
};

// Frames per second of wall time and CPU seconds per frame of the whole
// command; exits on any failure.
Timing RenderSequence(const std::filesystem::path &dir, const std::string &out_name,
                      const std::vector<std::string> &extra)
{
    std::filesystem::remove_all(dir / out_name);
    std::filesystem::create_directories(dir / out_name);
    std::vector<std::string> args = {"render", (dir / "in" / "frame.####.png").string(),
                                     (dir / out_name / "frame.####.png").string(), "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out;
    std::ostringstream err;
    const double cpu_start = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    BusiestThread busiest;
    const int status = prismora::cli::RunCommandLine(args, out, err);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double busiest_seconds = busiest.Stop();
    const double cpu = CpuSeconds() - cpu_start;
    if (status != 0) {
        std::fprintf(stderr, "sequence_bench: render failed (%d): %s", status, err.str().c_str());
        std::exit(1);
    }
    return {kFrames / seconds, cpu / kFrames, busiest_seconds > 0 ? kFrames / busiest_seconds : 0.0};
}

bool SameFrames(const std::filesystem::path &a, const std::filesystem::path &b)
{
    for (int frame = 1; frame <= kFrames; ++frame) {
        char name[32];
        std::snprintf(name, sizeof(name), "frame.%04d.png", frame);
        if (!(prismora::cli::ReadImageFile(a / name).image == prismora::cli::ReadImageFile(b / name).image)) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    const bool own_dir = argc <= 2;
    const std::filesystem::path dir =
        own_dir ? std::filesystem::temp_directory_path() /
                      ("prismora_sequence_bench_" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))
                : std::filesystem::path(argv[2]);
    std::filesystem::create_directories(dir / "in");
    const HostImage card = prismora::cli::MakeTestCard(kWidth, kHeight);
    for (int frame = 1; frame <= kFrames; ++frame) {
        char name[32];
        std::snprintf(name, sizeof(name), "frame.%04d.png", frame);
        prismora::cli::WriteImageFile(dir / "in" / name, FrameOf(card, frame));
    }

    std::printf("%d frames %dx%d 8-bit PNG to PNG, %u hardware threads\n", kFrames, kWidth, kHeight,
                std::thread::hardware_concurrency());
    double best_one = 0.0;
    double best_default = 0.0;
    for (int round = 1; round <= rounds; ++round) {
        const Timing one = RenderSequence(dir, "one_by_one", {"--jobs", "1"});
        const Timing all = RenderSequence(dir, "default", {});
        std::printf("round %d: --jobs 1 %.2f fps, default %.2f fps: x%.2f\n", round, one.fps, all.fps,
                    all.fps / one.fps);
        std::printf("         CPU s/frame %.3f and %.3f; frames per busiest-thread CPU second %.2f and %.2f: "
                    "x%.2f\n",
                    one.cpu_per_frame, all.cpu_per_frame, one.fps_per_busiest_thread,
                    all.fps_per_busiest_thread, all.fps_per_busiest_thread / one.fps_per_busiest_thread);
        best_one = std::max(best_one, one.fps);
        best_default = std::max(best_default, all.fps);
    }
    std::printf("best:    --jobs 1 %.2f fps, default %.2f fps: x%.2f\n", best_one, best_default,
                best_default / best_one);
    const bool same = SameFrames(dir / "one_by_one", dir / "default");
    std::printf("frames identical: %s\n", same ? "yes" : "NO");
    if (own_dir) {
        std::filesystem::remove_all(dir);
    }
    return same ? 0 : 1;
}
