// Builds the matte field the shading model reads from the alpha matte layer.
#pragma once

#include "AE_Effect.h"
#include "cpu/host_threads.h"
#include "model/matte_field.h"

namespace prismora {

// Builds the field from a matte world of the given pixel type; false (and an
// invalid field) when the world has no visible pixel. One thread.
template <typename Pixel> bool BuildMatteField(const PF_EffectWorld &world, MatteField &field);

// The same field, its rows spread over the host's threads; an invalid field
// when the world has no visible pixel, and the host's error (a cancel) when
// the host stopped the bands.
template <typename Pixel>
PF_Err BuildMatteField(const PF_EffectWorld &world, MatteField &field, const HostThreads &threads);

} // namespace prismora
