#include "effect/legacy_render_depth.h"

#include <cstdint>

namespace prismora {

int LegacyRenderDepth(const PF_LayerDef &output)
{
    if (output.width > 0) {
        // Bottom-up worlds have negative row bytes; 64-bit keeps the magnitude of
        // the most negative value representable.
        const int64_t row_bytes =
            output.rowbytes < 0 ? -static_cast<int64_t>(output.rowbytes) : output.rowbytes;
        if (row_bytes / output.width >= 16) {
            return 32;
        }
    }
    return (output.world_flags & PF_WorldFlag_DEEP) != 0 ? 16 : 8;
}

} // namespace prismora
