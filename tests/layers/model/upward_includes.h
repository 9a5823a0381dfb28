// A model header with two includes that point up a layer and one that does
// not: the layer check must name exactly the first two.
#pragma once

#include "cpu/gaussian_blur.h"
#include "model/float_image.h"
#include "../effect/pre_render.h"
