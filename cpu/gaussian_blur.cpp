#include "cpu/gaussian_blur.h"

#include <cmath>
#include <cstddef>

namespace prismora {

namespace {

// Brings a tap position into A_long range without changing what the edge rule
// reads there: everything left of the image reads as column -1, right as width.
A_long TapCoordinate(int64_t position, A_long size)
{
    if (position < -1) {
        return -1;
    }
    if (position > size) {
        return size;
    }
    return static_cast<A_long>(position);
}

// One tap sequence: double sums in increasing tap order, stored as float.
template <typename Fetch> FloatPixel ConvolveTaps(const std::vector<float> &kernel, Fetch fetch)
{
    double alpha = 0.0;
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    for (std::size_t k = 0; k < kernel.size(); ++k) {
        const FloatPixel p = fetch(static_cast<int64_t>(k));
        const double w = static_cast<double>(kernel[k]);
        alpha += static_cast<double>(p.alpha) * w;
        red += static_cast<double>(p.red) * w;
        green += static_cast<double>(p.green) * w;
        blue += static_cast<double>(p.blue) * w;
    }
    return {static_cast<float>(alpha), static_cast<float>(red), static_cast<float>(green),
            static_cast<float>(blue)};
}

// Row y of one pass, taps along the row (horizontal) or down the column; the
// reference any faster path must match bit for bit.
void BlurRow(const FloatImage &source, const std::vector<float> &kernel, A_long y, bool horizontal,
             bool clamp_edges, FloatPixel *out_row)
{
    const int64_t radius = static_cast<int64_t>(kernel.size() / 2);
    for (A_long x = 0; x < source.width; ++x) {
        out_row[x] = ConvolveTaps(kernel, [&](int64_t k) {
            return horizontal
                       ? FetchPixel(source, TapCoordinate(x - radius + k, source.width), y, clamp_edges)
                       : FetchPixel(source, x, TapCoordinate(y - radius + k, source.height), clamp_edges);
        });
    }
}

} // namespace

FloatPixel FetchPixel(const FloatImage &image, A_long x, A_long y, bool clamp_edges)
{
    // An image without pixels has nothing to replicate; it reads as transparent.
    if (!image.IsUsable()) {
        return {};
    }
    if (clamp_edges) {
        const A_long column = x > image.width - 1 ? image.width - 1 : (x < 0 ? 0 : x);
        const A_long row = y > image.height - 1 ? image.height - 1 : (y < 0 ? 0 : y);
        return image.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) +
                            static_cast<std::size_t>(column)];
    }
    if (x >= 0 && x < image.width && y >= 0 && y < image.height) {
        return image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                            static_cast<std::size_t>(x)];
    }
    return {};
}

FloatImage GaussianBlur(const FloatImage &source, float strength, int32_t quality, bool clamp_edges)
{
    if (!source.IsUsable() || IsNegligibleBlur(strength)) {
        return source;
    }
    const std::vector<float> kernel = GaussianKernel(strength, quality);
    const std::size_t width = static_cast<std::size_t>(source.width);

    FloatImage intermediate;
    intermediate.width = source.width;
    intermediate.height = source.height;
    intermediate.pixels.resize(source.pixels.size());
    FloatImage result;
    result.width = source.width;
    result.height = source.height;
    result.pixels.resize(source.pixels.size());

    for (A_long y = 0; y < source.height; ++y) {
        BlurRow(source, kernel, y, true, clamp_edges,
                intermediate.pixels.data() + static_cast<std::size_t>(y) * width);
    }
    for (A_long y = 0; y < source.height; ++y) {
        BlurRow(intermediate, kernel, y, false, clamp_edges,
                result.pixels.data() + static_cast<std::size_t>(y) * width);
    }
    return result;
}

} // namespace prismora
