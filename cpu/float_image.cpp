#include "cpu/float_image.h"

#include <cstddef>

namespace prismora {

bool FloatImage::IsUsable() const
{
    return width >= 1 && height >= 1 &&
           pixels.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

} // namespace prismora
