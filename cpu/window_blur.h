// The separable Gaussian blur of one window of a host world: every value in
// the window is the one GaussianBlur gives for the whole world converted to
// floats (same taps, same edge rules, double sums in the same order), but
// only the window's rows and columns are worked on.
#pragma once

#include <vector>

#include "AE_Effect.h"
#include "cpu/blur_window.h"
#include "cpu/host_threads.h"

namespace prismora {

// One window per kernel (each from GaussianKernel), all over `rect` (world
// indices, non-empty, inside the world). The rows of both passes are split
// over the host's threads.
template <typename Pixel>
PF_Err BlurWorldWindow(const PF_EffectWorld &world, const PF_LRect &rect, bool clamp_edges,
                       const std::vector<std::vector<float>> &kernels, const HostThreads &threads,
                       std::vector<BlurWindow> &windows);

} // namespace prismora
