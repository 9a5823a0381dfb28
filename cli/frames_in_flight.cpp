#include "cli/frames_in_flight.h"

#include <algorithm>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fstream>
#include <string>
#endif

namespace prismora::cli {

namespace {

// Full-frame copies of a frame in flight, in its own pixel size: the file's
// samples, the host image and world read in, the effect's window and output,
// the image and samples written out. Measured peak resident memory per frame
// is about six (1920 x 1080: 52, 101 and 199 MB at 8, 16 and 32 bits); eight
// leaves room for allocator slack.
constexpr uint64_t kFrameCopies = 8;

} // namespace

uint64_t FrameMemoryEstimate(int32_t width, int32_t height, int depth)
{
    const uint64_t pixels =
        static_cast<uint64_t>(std::max(width, 1)) * static_cast<uint64_t>(std::max(height, 1));
    const uint64_t pixel_bytes = depth == 32 ? 16 : (depth == 16 ? 8 : 4);
    return pixels * pixel_bytes * kFrameCopies;
}

std::optional<uint64_t> AvailableMemory()
{
#ifdef _WIN32
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status)) {
        return status.ullAvailPhys;
    }
    return std::nullopt;
#else
    // MemAvailable counts the page cache the kernel would give back.
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);) {
        if (line.rfind("MemAvailable:", 0) == 0) {
            return std::stoull(line.substr(line.find(':') + 1)) * 1024; // in kB
        }
    }
    return std::nullopt;
#endif
}

int DefaultFramesInFlight(int render_threads, uint64_t frame_bytes, std::optional<uint64_t> available)
{
    int jobs = std::max(render_threads, 1);
    if (available && frame_bytes > 0) {
        const uint64_t fit = *available / 4 * 3 / frame_bytes;
        jobs = static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(jobs), std::max<uint64_t>(fit, 1)));
    }
    return jobs;
}

} // namespace prismora::cli
