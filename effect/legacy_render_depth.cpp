#include "effect/legacy_render_depth.h"

#include <cstdint>

#include "AEFX_SuiteHandlerTemplate.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"

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

int LegacyRenderDepth(const PF_InData &in_data, const PF_LayerDef &output)
{
    if (in_data.pica_basicP != nullptr) {
        const AEFX_SuiteScoper<PF_WorldSuite2, true> suite(&in_data, kPFWorldSuite, kPFWorldSuiteVersion2);
        PF_PixelFormat format = PF_PixelFormat_INVALID;
        if (suite.get() != nullptr && suite->PF_GetPixelFormat(&output, &format) == PF_Err_NONE) {
            switch (format) {
            case PF_PixelFormat_ARGB128:
                return 32;
            case PF_PixelFormat_ARGB64:
                return 16;
            case PF_PixelFormat_ARGB32:
                return 8;
            default:
                break;
            }
        }
    }
    return LegacyRenderDepth(output);
}

} // namespace prismora
