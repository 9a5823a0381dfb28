// The CPU render of one frame: the smart render command's handler and the
// renderer behind the plain render command, sharing one frame body.
#pragma once

#include "AE_Effect.h"
#include "cpu/host_threads.h"
#include "model/effect_settings.h"
#include "model/float_image.h"
#include "model/matte_field.h"

namespace prismora {

PF_Err SmartRenderCPU(PF_InData *in_data, PF_SmartRenderExtra *extra);

// One frame at the depth of Pixel (PF_Pixel8, PF_Pixel16, PF_PixelFloat). A
// null input or one without pixels renders transparent black. The work is
// spread over the host's threads (null: the calling thread only).
template <typename Pixel>
PF_Err LegacyRender(const PF_EffectWorld *input, PF_EffectWorld *output, const EffectSettings &settings,
                    const MatteField *matte, const HostThreads *threads = nullptr);

// The same frame read plainly: whole-frame blurs, every pixel through the
// shader, one thread. The reference every faster path must match bit for bit.
template <typename Pixel>
PF_Err PlainRender(const PF_EffectWorld *input, PF_EffectWorld *output, const EffectSettings &settings,
                   const MatteField *matte);

// The blurred copies of the input the shader reads; an image that is not usable
// stands for "absent".
struct FrameBlurs {
    FloatImage half;
    FloatImage full;
};

// Both blurs when the frame reads them: a strength above 0.001 and, in Full
// Frame, a valid matte (without one the shader passes the source through).
template <typename Pixel>
FrameBlurs MakeFrameBlurs(const PF_EffectWorld &input, const EffectSettings &settings,
                          const MatteField *matte);

// Shades output rows [row_begin, row_end). Rows are independent of each other,
// so a caller may split the frame into bands.
template <typename Pixel>
void ShadeRows(const PF_EffectWorld &input, PF_EffectWorld &output, const EffectSettings &settings,
               const MatteField *matte, const FrameBlurs &blurs, A_long row_begin, A_long row_end);

} // namespace prismora
