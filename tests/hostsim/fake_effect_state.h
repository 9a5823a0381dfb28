// Shared between the fake effect and the tests that drive it: the knobs that
// make the fake misbehave and what it saw, reached through the exported
// FakeEffect_State().
#pragma once

#include <atomic>

#include "AE_Effect.h"
#include "AE_EffectPixelFormat.h"

namespace prismora::hostsim::test {

// Parameter indices of the fake effect.
enum FakeParam : PF_ParamIndex {
    kFakeMargin = 1, // float slider: request expansion in pixels
    kFakeSpot = 2,   // point, default 50 %, 50 %
    kFakeParamCount = 3
};

struct FakeEffectState {
    // Knobs.
    std::atomic<bool> keep_a_param;      // pre-render leaves one parameter checked out
    std::atomic<bool> keep_input_pixels; // smart render does not check the input in
    std::atomic<bool> keep_a_suite;      // smart render does not release the world suite
    std::atomic<bool> leak_a_world;      // smart render creates a world and keeps it

    // Observations.
    std::atomic<int> deletes;                  // pre-render records deleted
    std::atomic<PF_PixelFormat> output_format; // PF_GetPixelFormat of the last output
};

} // namespace prismora::hostsim::test

extern "C" {
typedef prismora::hostsim::test::FakeEffectState *(*FakeEffectStateFunc)(void);
typedef void (*FakeEffectResetFunc)(void);
}
