// The demo's generated pictures: a test card with structure that shows
// refraction, blur and colour fringes, a matte shape, and a contact sheet.
#pragma once

#include <vector>

#include "cli/host_image.h"

namespace prismora::cli {

inline constexpr int32_t kTestCardWidth = 960;
inline constexpr int32_t kTestCardHeight = 540;

// Opaque 8-bit card: colour gradient, checker, grid lines, discs and stripes.
HostImage MakeTestCard(int32_t width, int32_t height);

// 8-bit white matte whose alpha is a soft-edged blob, off the frame's centre.
HostImage MakeTestMatte(int32_t width, int32_t height);

// The images reduced by `shrink` (box filter), laid out left to right in rows
// of `columns` with `gap` pixels between them on a dark background; 8-bit.
HostImage MakeContactSheet(const std::vector<HostImage> &images, int columns, int shrink, int gap);

} // namespace prismora::cli
