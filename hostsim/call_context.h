// The host's side of one command sequence: global set-up, parameter set-up or
// one frame (a tile's pre-render and smart render, or a plain render). Its
// address is the effect_ref the effect passes back to every callback, so each
// callback finds its own frame even when several frames run on several
// threads. Internal to the host.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AE_Effect.h"
#include "hostsim/books.h"
#include "hostsim/frame.h"
#include "hostsim/gpu_world.h"
#include "hostsim/param_set.h"
#include "hostsim/suites.h"
#include "hostsim/thread_pool.h"
#include "hostsim/world.h"

namespace prismora::hostsim {

// A layer the effect asked for in pre-render, by checkout id.
struct LayerCheckout {
    PF_ParamIndex index = 0;
    PF_LRect requested{};
    PF_LRect delivered{};         // the request clipped to the layer
    const World *layer = nullptr; // nullptr: the parameter names no layer
    std::unique_ptr<World> pixels;
    // A request covering the whole layer gets the frame's own copy of it
    // (already laid out as the effect's worlds are) instead of a crop.
    std::optional<PF_EffectWorld> whole_layer;
    std::unique_ptr<GpuWorld> gpu_pixels; // handed out during PF_Cmd_SMART_RENDER_GPU
    int checked_out = 0;                  // checkouts not yet checked in
};

class CallContext {
public:
    CallContext(Books &books, const SuiteTable &suites);
    ~CallContext();
    CallContext(const CallContext &) = delete;
    CallContext &operator=(const CallContext &) = delete;

    PF_ProgPtr effect_ref() { return reinterpret_cast<PF_ProgPtr>(this); }
    // The live context an effect_ref names, or nullptr.
    static CallContext *FromRef(PF_ProgPtr ref);
    // The context whose command runs on this thread (for the callbacks that
    // get no effect_ref: the basic suite, PF_GetPixelFormat, sprintf).
    static CallContext *Current();

    // Calls the entry point with this context current. Books what the command
    // left checked out; an exception escaping the effect is a HostError.
    PF_Err Send(PF_FilterProc entry, PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                PF_ParamDef **params, PF_LayerDef *output, void *extra);
    // Books what the frame left behind (layer pixels, effect worlds).
    void FinishFrame();

    // Starts a callback: books the call, notes a misuse, returns the code to
    // answer with (injected or 516) or 0 to go on.
    PF_Err Enter(const char *callback, std::string_view detail = {});
    PF_Err Refuse(const std::string &why); // notes the problem, answers 516

    std::optional<PixelFormat> FormatOf(const PF_EffectWorld *world) const;
    // The GPU world (layer, output or the effect's own) whose record this is.
    GpuWorld *FindGpuWorld(const PF_EffectWorld *world) const;
    // After a declined GPU render: the CPU render gets CPU worlds.
    void DropGpuWorlds();

    Books &books;
    const SuiteTable &suites;
    ThreadPool *threads = nullptr; // the host's render threads; null: the calling thread only
    PF_Cmd cmd = -1;               // the command in progress, -1 between commands

    ParamSet *declaring = nullptr;             // parameter set-up: where add_param appends
    const ParamSet *values = nullptr;          // frames: the current values (layers are host copies)
    const PF_ParamDef *params_begin = nullptr; // plain render: the params array's records
    const PF_ParamDef *params_end = nullptr;
    std::map<const PF_ParamDef *, int> checked_out_params;

    // Frames.
    PixelFormat format = PixelFormat::kArgb32;
    WorldLayout rows; // the host's row padding and direction for the worlds it hands out
    PF_LRect output_rect{};
    NullInjection nulls;
    std::map<A_long, LayerCheckout> layers; // by checkout id
    std::unique_ptr<World> output;
    std::vector<const World *> frame_worlds;           // layer copies the frame's params point at
    std::vector<std::unique_ptr<World>> effect_worlds; // PF_NewWorld
    double host_copy_ms = 0.0; // time the checkouts spent making the worlds they hand out

    // GPU frames: set while PF_Cmd_SMART_RENDER_GPU is in progress.
    GpuDevice *gpu_device = nullptr;
    A_u_long gpu_device_index = 0;
    A_long gpu_pitch_padding = 0; // pixels after every row of a GPU world
    std::unique_ptr<GpuWorld> gpu_output;
    std::vector<std::unique_ptr<GpuWorld>> effect_gpu_worlds; // CreateGPUWorld

private:
    static constexpr uint32_t kMagic = 0x48535458;
    uint32_t magic_ = kMagic;
    CallContext *previous_ = nullptr;
};

} // namespace prismora::hostsim
