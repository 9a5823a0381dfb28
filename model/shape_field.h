// Where a pixel lies relative to the glass panel, for the rounded rectangle and
// for the matte shape, and the numeric primitives of the glass model.
#pragma once

#include <vector>

#include "model/effect_settings.h"
#include "model/matte_field.h"

namespace prismora {

struct ShapeSample {
    bool inside = false;
    float coverage = 0.0f;
    float depth_norm = 0.0f;
    float edge_factor = 0.0f;
    float depth = 0.0f;
    float min_side = 1.0f;
    float dir_x = 0.0f;
    float dir_y = 0.0f;
    float normal_x = 0.0f;
    float normal_y = 0.0f;
    float local_x = 0.0f;
    float local_y = 0.0f;
    float panel_width = 0.0f;
    float panel_height = 0.0f;
    float panel_center_x = 0.0f;
    float panel_center_y = 0.0f;
};

struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;
};

float SmoothStep(float edge0, float edge1, float v);
Vec2 Normalize2(float x, float y);
float RoundedBoxDistance(float px, float py, float half_w, float half_h, float radius);
// A band proportional to the panel's smaller side, never under 0.75 pixels;
// none at all for a range of 0 (the rim and the colour split use it).
float BandWidth(float range, float min_side);

ShapeSample ComputeRectShape(const EffectSettings &settings, float x, float y);
ShapeSample ComputeMatteShape(const MatteField &matte, const EffectSettings &settings, float x, float y);
float SampleMatteField(const MatteField &matte, const std::vector<float> &plane, float x, float y,
                       float default_value);
void FinishShape(ShapeSample &sample, const EffectSettings &settings);

} // namespace prismora
