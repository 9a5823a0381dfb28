// The fast frame's glass pixels four at a time: the glass model
// (model/glass_pixel.h over CpuFastGlassPolicy) worked on in vector lanes, for
// the frames where it is a plain run of arithmetic (a rounded rectangle or a
// matte, no debug view, finite controls). Each pixel it stores is the one
// ShadeGlassFast gives, bit for bit; a pixel off the glass, or at the panel's
// centre where the model borrows the shape's normal, goes through
// ShadeGlassFast itself.
#pragma once

#include "AE_Effect.h"
#include "cpu/fast_glass_frame.h"
#include "model/effect_settings.h"

namespace prismora {

// Whether ShadeSpanInLanes can shade this frame's pixels into `output`: false
// where the processor has no vector lanes, and where the input's or the
// output's layer positions are too far out for floats to hold them exactly
// (the lanes index pixels by whole numbers where the model uses floats).
template <typename Pixel>
bool CanShadeInLanes(const EffectSettings &settings, const CpuFastGlassFrame<Pixel> &frame,
                     const PF_EffectWorld &output);

// Pixels [begin, end) of output row r, as ShadeGlassFast and StorePixel give them.
template <typename Pixel>
void ShadeSpanInLanes(const EffectSettings &settings, const CpuFastGlassFrame<Pixel> &frame,
                      PF_EffectWorld &output, A_long r, A_long begin, A_long end);

} // namespace prismora
