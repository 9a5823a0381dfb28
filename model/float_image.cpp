#include "model/float_image.h"

#include <cmath>
#include <cstddef>

#include "model/pixel_traits.h"

namespace prismora {

template <typename Pixel> FloatImage ToFloatImage(const PF_EffectWorld &world)
{
    FloatImage image;
    if (world.data == nullptr || world.width < 1 || world.height < 1) {
        return image;
    }
    const std::size_t width = static_cast<std::size_t>(world.width);
    const std::size_t height = static_cast<std::size_t>(world.height);
    image.pixels.resize(width * height);
    image.width = world.width;
    image.height = world.height;

    for (A_long y = 0; y < world.height; ++y) {
        FloatPixel *row = image.pixels.data() + static_cast<std::size_t>(y) * width;
        for (A_long x = 0; x < world.width; ++x) {
            row[x] = ToFloatPixel(*WorldPixelAt<Pixel>(world, x, y));
        }
    }
    return image;
}

template FloatImage ToFloatImage<PF_Pixel8>(const PF_EffectWorld &);
template FloatImage ToFloatImage<PF_Pixel16>(const PF_EffectWorld &);
template FloatImage ToFloatImage<PF_PixelFloat>(const PF_EffectWorld &);

} // namespace prismora
