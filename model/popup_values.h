// The values of the effect's popups, numbered from 1 as the host numbers a
// popup's choices. The settings keep the host's signed 32-bit value, so a
// number outside a popup's range (a host that does not check) stays visible
// and every reader decides what it means.
#pragma once

#include <stdint.h>

#include "model/host_device.h"

namespace prismora {

enum Quality : int32_t { kQualityLow = 1, kQualityMid = 2, kQualityHigh = 3 };

enum Renderer : int32_t { kRendererAuto = 1, kRendererGpu = 2, kRendererCpu = 3 };

enum GlassMode : int32_t { kGlassRoundedRect = 1, kGlassFullFrame = 2 };

// A new view is a value before kDebugViewEnd, its picture in DebugViewPixel
// (model/glass_terms.h) and its name in the parameter declaration.
enum DebugView : int32_t {
    kDebugOff = 1,
    kDebugGlassMask = 2,
    kDebugInversedSdf = 3,
    kDebugDistortion = 4,
    kDebugSampleOffset = 5,
    kDebugViewEnd // one past the last view
};

constexpr int32_t kDebugViewCount = kDebugViewEnd - kDebugOff;

// Views other than Off replace the shading with a picture of the model.
PRISMORA_HD constexpr bool IsDebugView(int32_t view)
{
    return view > kDebugOff && view < kDebugViewEnd;
}

} // namespace prismora
