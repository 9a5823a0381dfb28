// One frame for the host to render, and what came of it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "AE_Effect.h"
#include "hostsim/param_set.h"
#include "hostsim/world.h"

namespace prismora::hostsim {

enum class RenderPath {
    kSmart,  // PF_Cmd_SMART_PRE_RENDER, then PF_Cmd_SMART_RENDER
    kLegacy, // PF_Cmd_RENDER with the params array
    // Smart pre-render, then PF_Cmd_SMART_RENDER_GPU on the host's device when
    // pre-render set PF_RenderOutputFlag_GPU_RENDER_POSSIBLE and the effect
    // accepted the device; PF_Cmd_SMART_RENDER otherwise and after a decline (514).
    kGpuWhenPossible,
};

// Where the host hands the effect a null pointer instead of the real thing.
struct NullInjection {
    bool in_data = false;            // every command of the frame
    bool pre_render_extra = false;   // PF_Cmd_SMART_PRE_RENDER's extra
    bool smart_render_extra = false; // PF_Cmd_SMART_RENDER's (and _GPU's) extra
    bool pre_render_data = false;    // smart render's input->pre_render_data
    bool input_pixels = false;       // checkout_layer_pixels(0) succeeds with no world
    bool output_data = false;        // the output world's data (checkout_output and plain render)
    bool params = false;             // plain render's params array
    bool output = false;             // plain render's output world
};

struct FrameJob {
    const World *input = nullptr; // the layer under the effect, origin (0, 0)
    ParamSet params;              // this frame's values (Host::params() for the defaults)
    int bit_depth = 8;            // 8, 16 or 32; input and layers must be in this depth
    RenderPath path = RenderPath::kSmart;
    std::optional<PF_LRect> request; // one output rectangle (layer coordinates); default the whole layer
    A_long tile_width = 0;           // both above 0: the whole layer as a grid of tiles
    A_long tile_height = 0;
    A_long current_time = 0;
    A_long time_step = 1;
    A_u_long time_scale = 24;
    NullInjection nulls;
};

// A layer the effect checked out in pre-render.
struct LayerRequest {
    PF_ParamIndex index = 0;
    PF_LRect requested{}; // as the effect asked
    PF_LRect delivered{}; // clipped to the layer: the world checkout_layer_pixels gives
};

// One smart-render request (the whole layer, one rectangle or one tile).
struct TileReport {
    PF_LRect rect{};
    PF_Err pre_render_err = PF_Err_NONE;
    PF_Err render_err = PF_Err_NONE;
    bool rendered = false;               // a smart render answered (a GPU decline does not count)
    bool gpu_render_sent = false;        // PF_Cmd_SMART_RENDER_GPU was sent
    PF_Err gpu_render_err = PF_Err_NONE; // its answer
    // Which renderer produced the pixels, and why: "gpu", "gpu: error N",
    // "cpu", "cpu: effect declined (514)", "cpu: no GPU render possible",
    // "cpu: no device"; empty when pre-render failed.
    std::string path;
    double render_ms = 0.0;    // wall time of the smart render command(s) sent, GPU and CPU
    double host_copy_ms = 0.0; // of which the checkouts spent making the worlds they handed out
    PF_LRect result_rect{};
    PF_LRect max_result_rect{};
    PF_RenderOutputFlags flags = 0;
    bool solid = false;
    std::map<A_long, LayerRequest> checkouts; // by checkout id
};

struct FrameResult {
    PF_Err err = PF_Err_NONE;   // the first error the effect returned
    PF_Cmd failed_command = -1; // the command that returned it
    // The request's rectangle (origin at its top-left) or the whole layer;
    // pixels the effect did not deliver stay transparent black.
    World output;
    std::vector<TileReport> tiles; // smart path only
    // The tiles' path when they agree, else theirs joined by "; ";
    // "cpu: plain render" for PF_Cmd_RENDER.
    std::string path;
    PF_OutFlags out_flags = 0; // of the failing (or last) command
    std::string message;       // return_msg when the effect asked to show it
};

} // namespace prismora::hostsim
