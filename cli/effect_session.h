// The effect loaded into the simulated host: its declarations, its answers
// about itself, and frames rendered through it.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "AE_Effect.h"
#include "cli/host_image.h"
#include "cli/param_catalog.h"
#include "hostsim/books.h"
#include "hostsim/host.h"
#include "hostsim/pipl_reader.h"

namespace prismora::cli {

// What the effect says about itself when asked (PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP).
struct EffectAnswers {
    std::string about;
    A_u_long version = 0;
    PF_OutFlags out_flags = 0;
    PF_OutFlags2 out_flags2 = 0;
};

// Smart frames go to the host's GPU first unless the Renderer popup says CPU;
// the effect's own pre-render decides whether they may.
struct FrameOptions {
    bool legacy = false; // PF_Cmd_RENDER instead of smart render
    int32_t tile_width = 0;
    int32_t tile_height = 0;
    // Told one line per request the host made for the frame, with the path
    // that rendered it and why, when set.
    std::function<void(const std::string &)> report;
};

class EffectSession {
public:
    // Loads the plug-in and runs global, parameter and GPU device set-up; an
    // effect error throws EffectError, a library that cannot be loaded or a
    // broken host contract HostError.
    // The GPU device is the first CUDA device when there is one, unless the
    // caller chooses (the tests use the emulated one).
    // threads: the host's render threads (0: one per core).
    explicit EffectSession(const std::filesystem::path &plugin,
                           hostsim::GpuDeviceChoice gpu = hostsim::GpuDeviceChoice::kCudaIfPresent,
                           int threads = 0);
    EffectSession(const EffectSession &) = delete;
    EffectSession &operator=(const EffectSession &) = delete;

    // The declarations as the host received them, parameters 1 onwards.
    const ParamCatalog &catalog() const { return catalog_; }
    const hostsim::PiPL &pipl() const { return host_.pipl(); }
    EffectAnswers answers();
    // The host's books: what the effect took and returned, and failure injection.
    hostsim::Books &books() { return host_.books(); }
    // The host's render threads, and workers run on them (a sequence's frames
    // in flight: see hostsim::Host::RunOnRenderThreads).
    int render_threads() const { return host_.render_threads(); }
    void RunOnRenderThreads(int threads, const std::function<void()> &worker)
    {
        host_.RunOnRenderThreads(threads, worker);
    }

    // Renders input (origin (0, 0)) at its depth with the given values (by
    // parameter index) over the declared defaults; matte, when given, is the
    // Alpha Matte Layer at the same depth. Throws EffectError on an effect error.
    // The input is taken by value and released once the host holds its own
    // copy, so a caller that moves it in keeps one frame less alive.
    HostImage Render(HostImage input, const HostImage *matte, const std::map<int, PF_ParamDef> &values,
                     const FrameOptions &options);

private:
    hostsim::Host host_;
    ParamCatalog catalog_;
};

} // namespace prismora::cli
