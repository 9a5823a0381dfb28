// The host's callback tables, as handed to the effect. Every function finds
// its command through effect_ref (or, where the SDK passes none, through the
// command running on the calling thread). Internal to the host.
#pragma once

#include "AE_Effect.h"
#include "AE_EffectCB.h"

namespace prismora::hostsim {

const PF_InteractCallbacks &InteractCallbacks();
PF_UtilCallbacks *UtilCallbacks();
PF_PreRenderCallbacks PreRenderCallbacks();
PF_SmartRenderCallbacks SmartRenderCallbacks();

} // namespace prismora::hostsim
