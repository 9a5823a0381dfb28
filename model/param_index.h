// The indices under which the host knows the effect's parameters.
#pragma once

#include <cstdint>

namespace prismora {

enum ParamIndex : int32_t {
    kParamInput = 0,
    kParamMainGroupStart = 1,
    kParamAmount = 2,
    kParamOpacity = 3,
    kParamRenderer = 4,
    kParamQuality = 5,
    kParamMainGroupEnd = 6,
    kParamShapeGroupStart = 7,
    kParamGlassMode = 8,
    kParamCenter = 9,
    kParamGlassWidth = 10,
    kParamGlassHeight = 11,
    kParamCornerRadius = 12,
    kParamAlphaMatte = 13,
    kParamShapeGroupEnd = 14,
    kParamShaderGroupStart = 15,
    kParamDistortionScale = 16,
    kParamEdgeRange = 17,
    kParamEdgeVisibility = 18,
    kParamBlurIntensity = 19,
    kParamChromaticShift = 20,
    kParamChromaticRange = 21,
    kParamTintMultiplier = 22,
    kParamColorAmount = 23,
    kParamGlassColor = 24,
    kParamShaderGroupEnd = 25,
    kParamAdvancedGroupStart = 26,
    kParamClampEdges = 27,
    kParamDebugView = 28,
    kParamAdvancedGroupEnd = 29,
    kParamCount = 30 // the input layer plus the 29 declared parameters
};

} // namespace prismora
