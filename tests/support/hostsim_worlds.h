// Frames for tests through the simulated host: a matte, random parameter
// values, and the largest difference between two frames.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "hostsim/frame.h"
#include "hostsim/world.h"

namespace prismora::test {

// Alpha 1 inside the ellipse, falling linearly to 0 over a rim a tenth of the
// radii wide, 0 outside; colour grey.
inline hostsim::World EllipseMatte(A_long width, A_long height, hostsim::PixelFormat format, float cx,
                                   float cy, float rx, float ry)
{
    hostsim::World w(width, height, format);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const float dx = (static_cast<float>(x) + 0.5f - cx) / rx;
            const float dy = (static_cast<float>(y) + 0.5f - cy) / ry;
            const float a = std::clamp((1.1f - std::sqrt(dx * dx + dy * dy)) * 10.0f, 0.0f, 1.0f);
            w.Set(x, y, {a, 0.5f, 0.5f, 0.5f});
        }
    }
    return w;
}

// Random values inside every parameter's slider range (the blur kept short so
// that a sanitizer build stays quick); the matte layer is `matte` or none.
inline void RandomParams(std::mt19937 &rng, hostsim::FrameJob &job, const hostsim::World *matte)
{
    hostsim::ParamSet &params = job.params;
    const auto uniform = [&rng](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    for (PF_ParamIndex i = 1; i < params.size(); ++i) {
        const PF_ParamDef &def = params.def(i);
        switch (def.param_type) {
        case PF_Param_FLOAT_SLIDER: {
            const double lo = def.u.fs_d.slider_min;
            const double hi = params.name(i) == "Blur Intensity" ? 30.0 : def.u.fs_d.slider_max;
            params.SetFloat(i, uniform(lo, std::max(hi, lo)));
            break;
        }
        case PF_Param_POPUP:
            params.SetPopup(i, std::uniform_int_distribution<A_long>(1, def.u.pd.num_choices)(rng));
            break;
        case PF_Param_POINT:
            params.SetPoint(i, static_cast<PF_Fixed>(uniform(0.0, job.input->width()) * 65536.0),
                            static_cast<PF_Fixed>(uniform(0.0, job.input->height()) * 65536.0));
            break;
        case PF_Param_COLOR:
            params.SetColor(i, {static_cast<A_u_char>(rng()), static_cast<A_u_char>(rng()),
                                static_cast<A_u_char>(rng()), static_cast<A_u_char>(rng())});
            break;
        case PF_Param_CHECKBOX:
            params.SetCheckbox(i, rng() % 2 == 0);
            break;
        case PF_Param_LAYER:
            params.SetLayer(i, rng() % 2 == 0 ? matte : nullptr);
            break;
        default:
            break;
        }
    }
}

// Largest channel difference times `unit` (255 gives 8-bit codes) over the
// pixels where `where(x, y)` holds (layer coordinates of a); NaN counts as infinite.
template <typename Where>
double MaxDifference(const hostsim::World &a, const hostsim::World &b, double unit, Where where)
{
    double worst = 0.0;
    for (A_long y = 0; y < a.height(); ++y) {
        for (A_long x = 0; x < a.width(); ++x) {
            if (!where(a.origin_x() + x, a.origin_y() + y)) {
                continue;
            }
            const hostsim::FloatArgb p = a.Get(x, y), q = b.Get(x, y);
            for (const double d : {p.alpha - q.alpha, p.red - q.red, p.green - q.green, p.blue - q.blue}) {
                const double scaled = std::abs(d) * unit;
                worst =
                    std::isnan(scaled) ? std::numeric_limits<double>::infinity() : std::max(worst, scaled);
            }
        }
    }
    return worst;
}

inline double MaxDifference(const hostsim::World &a, const hostsim::World &b)
{
    return MaxDifference(a, b, 1.0, [](A_long, A_long) { return true; });
}

} // namespace prismora::test
