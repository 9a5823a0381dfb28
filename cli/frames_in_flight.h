// How many frames of a sequence render at once by default: one per render
// thread, fewer when the machine's free memory would not hold them.
#pragma once

#include <cstdint>
#include <optional>

namespace prismora::cli {

// The most memory one frame in flight takes, from its size and depth.
uint64_t FrameMemoryEstimate(int32_t width, int32_t height, int depth);

// The memory the system could give now without swapping; nullopt when it
// cannot tell.
std::optional<uint64_t> AvailableMemory();

// At most one frame per render thread, and no more than fit in three quarters
// of the available memory; never below one.
int DefaultFramesInFlight(int render_threads, uint64_t frame_bytes, std::optional<uint64_t> available);

} // namespace prismora::cli
