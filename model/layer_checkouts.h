// The layer pixel checkouts of one smart-rendered frame (input under id 0, the
// alpha matte under id 1), shared by the CPU and the GPU smart render.
#pragma once

#include "AE_Effect.h"

namespace prismora {

inline constexpr A_long kInputCheckoutId = 0;
inline constexpr A_long kMatteCheckoutId = 1;

// Everything the host handed out is checked in exactly once: by CheckInAll() on
// the normal path, by the destructor when an exception leaves the call.
class LayerCheckouts {
public:
    LayerCheckouts(PF_ProgPtr effect_ref, const PF_SmartRenderCallbacks &cb)
        : effect_ref_(effect_ref), cb_(cb)
    {
    }
    LayerCheckouts(const LayerCheckouts &) = delete;
    LayerCheckouts &operator=(const LayerCheckouts &) = delete;
    ~LayerCheckouts() { CheckInAll(PF_Err_NONE); }

    // The world is null unless the host hands one out; only a world handed
    // out is checked in again (a host may succeed with none).
    PF_Err CheckOut(A_long checkout_id, PF_EffectWorld **world)
    {
        *world = nullptr;
        const PF_Err err = cb_.checkout_layer_pixels(effect_ref_, checkout_id, world);
        if (err == PF_Err_NONE) {
            checked_out_[checkout_id] = *world != nullptr;
        } else {
            *world = nullptr;
        }
        return err;
    }

    // Checks in input, then matte; returns err if set, else the first check-in error.
    PF_Err CheckInAll(PF_Err err)
    {
        for (const A_long id : {kInputCheckoutId, kMatteCheckoutId}) {
            if (checked_out_[id]) {
                checked_out_[id] = false;
                const PF_Err checkin_err = cb_.checkin_layer_pixels(effect_ref_, id);
                if (err == PF_Err_NONE) {
                    err = checkin_err;
                }
            }
        }
        return err;
    }

private:
    PF_ProgPtr effect_ref_;
    const PF_SmartRenderCallbacks &cb_;
    bool checked_out_[2] = {false, false};
};

} // namespace prismora
