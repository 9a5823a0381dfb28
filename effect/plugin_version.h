// The effect's identity: version, global flag words, names and about text.
// Both the entry point (about, global set-up) and the PiPL resource read them
// from here, so the host's two views of the effect cannot drift apart.
#pragma once

#include "AE_Effect.h"

namespace prismora {

inline constexpr A_u_long kEffectVersion = PF_VERSION(1, 11, 0, PF_Stage_DEVELOP, 1);
static_assert(kEffectVersion == 884737, "version 1.11, develop stage, build 1");

inline constexpr PF_OutFlags kGlobalOutFlags = static_cast<PF_OutFlags>(PF_OutFlag_PIX_INDEPENDENT) |
                                               static_cast<PF_OutFlags>(PF_OutFlag_DEEP_COLOR_AWARE);

inline constexpr PF_OutFlags2 kGlobalOutFlags2 =
    static_cast<PF_OutFlags2>(PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG) |
    static_cast<PF_OutFlags2>(PF_OutFlag2_SUPPORTS_SMART_RENDER) |
    static_cast<PF_OutFlags2>(PF_OutFlag2_FLOAT_COLOR_AWARE) |
    static_cast<PF_OutFlags2>(PF_OutFlag2_SUPPORTS_GPU_RENDER_F32) |
    static_cast<PF_OutFlags2>(PF_OutFlag2_SUPPORTS_THREADED_RENDERING);

static_assert(kGlobalOutFlags == 0x02000400, "out_flags");
static_assert(kGlobalOutFlags2 == 0x0A001408, "out_flags2");

inline constexpr char kEffectName[] = "T_Prismora";
inline constexpr char kEffectCategory[] = "Tavro";
inline constexpr char kEffectMatchName[] = "Tavro_Prismora";
inline constexpr char kEntryPointName[] = "EffectMain";

// The host shows the text after the carriage return on a second line.
inline constexpr char kAboutText[] = "T_Prismora v1.11\rAdjustment-layer GLSL-port Prismora.";
static_assert(sizeof(kAboutText) <= PF_MAX_EFFECT_MSG_LEN + 1, "the about text fits return_msg");

// Effect API version (of the SDK) the effect is written against.
inline constexpr A_short kEffectApiVersionMajor = 13;
inline constexpr A_short kEffectApiVersionMinor = 29;

} // namespace prismora
