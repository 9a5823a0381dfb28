// Shared between the fake effect and the tests that drive it: the knobs that
// steer the fake and what it saw. The tests reach it through the exported
// FakeEffect_State().
#pragma once

#include <atomic>

#include "AE_Effect.h"
#include "AE_EffectPixelFormat.h"

namespace prismora::hostsim::test {

// Parameter indices of the fake effect.
enum FakeParam : PF_ParamIndex {
    kFakeGain = 1,   // float slider, percent applied to red, green, blue
    kFakeMode = 2,   // popup "Copy|Shift"
    kFakeMargin = 3, // float slider: request expansion in pixels, and the shift
    kFakeSpot = 4,   // point, default 50 %, 50 %
    kFakeMatte = 5,  // layer: alpha multiplied by the matte's
    kFakeTint = 6,   // colour
    kFakeInvert = 7, // checkbox
    kFakeParamCount = 8
};

struct FakeEffectState {
    // Knobs.
    A_u_long version;
    PF_OutFlags out_flags;
    PF_OutFlags2 out_flags2;
    std::atomic<bool> keep_a_param;      // pre-render leaves one parameter checked out
    std::atomic<bool> keep_input_pixels; // smart render does not check the input in
    std::atomic<bool> keep_a_suite;      // smart render does not release the world suite
    std::atomic<bool> leak_a_world;      // smart render creates a world and keeps it
    std::atomic<int> rendezvous;         // smart renders wait until this many have arrived

    // Observations.
    std::atomic<int> pre_renders;
    std::atomic<int> smart_renders;
    std::atomic<int> legacy_renders;
    std::atomic<int> deletes;
    std::atomic<int> arrivals;
    std::atomic<bool> rendezvous_met;
    std::atomic<PF_PixelFormat> output_format; // PF_GetPixelFormat of the last output
    std::atomic<PF_Fixed> spot_x;              // Center as checked out in the last pre-render
    std::atomic<PF_Fixed> spot_y;
    std::atomic<bool> matte_checked_out; // the last pre-render checked out the matte
    std::atomic<bool> input_was_null;    // the last smart render got no input world
};

} // namespace prismora::hostsim::test

extern "C" {
typedef prismora::hostsim::test::FakeEffectState *(*FakeEffectStateFunc)(void);
typedef void (*FakeEffectResetFunc)(void);
}
