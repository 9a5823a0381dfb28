// The simulated host: plays After Effects to a plug-in library built for it.
//
//   hostsim::Host host("build/Release/plugin/T_Prismora.so"); // loads, reads T_Prismora.pipl
//   host.Start();                         // global set-up (flags checked against the PiPL), parameter set-up
//   hostsim::World input(1920, 1080, hostsim::PixelFormat::kArgb32);
//   hostsim::FrameJob job = host.NewFrame(input, 8);
//   job.params.SetFloat(*job.params.Find("Amount"), 50.0);
//   hostsim::FrameResult frame = host.Render(job); // smart pre-render, smart render, delete callback
//   // frame.err, frame.output; host.books().Imbalances() lists anything the effect kept
//
// Frames may be rendered on several threads at once (RenderAll, or Render from
// your own threads): each frame has its own context, found by the effect_ref
// the effect passes back. Contract violations between host and plug-in throw
// HostError; the effect's own error codes come back as PF_Err values.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AE_Effect.h"
#include "hostsim/books.h"
#include "hostsim/dynamic_library.h"
#include "hostsim/frame.h"
#include "hostsim/gpu_device.h"
#include "hostsim/param_set.h"
#include "hostsim/pipl_reader.h"
#include "hostsim/suites.h"
#include "hostsim/thread_pool.h"
#include "hostsim/world.h"

namespace prismora::hostsim {

class CallContext;

enum class GpuDeviceChoice {
    kNone,          // no GPU: no device set-up, every frame on the CPU
    kCudaIfPresent, // the first CUDA device, when the CUDA runtime reports one
    kEmulated,      // host memory as device memory (the plug-in built with the emulated device)
};

struct HostOptions {
    // Bytes after every row of the worlds the host hands the effect, so that
    // an effect that assumes packed rows shows it.
    A_long row_padding_bytes = 0;
    // Rows of those worlds upwards in memory (negative rowbytes), as After
    // Effects may hand them.
    bool bottom_up_rows = false;
    GpuDeviceChoice gpu_device = GpuDeviceChoice::kCudaIfPresent;
    // Pixels after every row of the GPU worlds (pitch = width + this).
    A_long gpu_row_padding_pixels = 0;
    // Render threads shared by every frame and by the effect's own splits
    // (PF Iterate8 Suite); 0: one per core.
    int threads = 0;
};

// One PF_Cmd_GPU_DEVICE_SETUP: a device offered under one framework.
struct GpuOffer {
    PF_GPU_Framework framework = PF_GPU_Framework_NONE;
    A_u_long device_index = 0;
    PF_Err err = PF_Err_NONE;
    bool accepted = false; // answered 0 with PF_OutFlag2_SUPPORTS_GPU_RENDER_F32
    void *gpu_data = nullptr;
};

// What the effect reported at global set-up.
struct GlobalInfo {
    A_u_long my_version = 0;
    PF_OutFlags out_flags = 0;
    PF_OutFlags2 out_flags2 = 0;
};

class Host {
public:
    // Loads the library and its PiPL (hostsim/plugin_pipl.h), checks kind "eFKT"
    // and entry point "EffectMain", and finds the entry. Throws HostError.
    // The first host of a process sets TEMP to the system's temporary folder
    // when the environment has none, as After Effects always has one.
    explicit Host(const std::filesystem::path &library, HostOptions options = {});
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    const PiPL &pipl() const { return pipl_; }
    void *Symbol(const char *name) const { return library_.Symbol(name); }

    // PF_Cmd_ABOUT: the effect's return message.
    std::string About();
    // PF_Cmd_GLOBAL_SETUP. Returns the effect's code; when it is 0 the reported
    // version and flag words must equal the PiPL's or HostError is thrown.
    PF_Err GlobalSetup();
    // PF_Cmd_PARAMS_SETUP. Returns the effect's code; the parameters added up
    // to a failure stay visible in params(). On success the count the effect
    // reports must equal what it added, else HostError.
    PF_Err ParamsSetup();
    // PF_Cmd_GPU_DEVICE_SETUP for the device the options choose, under CUDA
    // and under a framework the effect cannot use (DirectX); keeps what the
    // effect accepted. Returns the first error the effect answered with. The
    // accepted devices get PF_Cmd_GPU_DEVICE_SETDOWN when the host goes.
    PF_Err GpuDeviceSetup();
    // The three set-ups; any effect error is a HostError.
    void Start();

    // The device frames render on (nullptr: none), what was offered, and
    // whether the effect accepted it under CUDA.
    GpuDevice *gpu_device() const { return gpu_device_.get(); }
    const std::vector<GpuOffer> &gpu_offers() const { return gpu_offers_; }
    const GpuOffer *AcceptedGpuOffer() const;

    const GlobalInfo &global() const { return global_; }
    // The parameters as declared, with their defaults.
    const ParamSet &params() const { return params_; }

    // A frame job for input with the declared parameters' defaults.
    FrameJob NewFrame(const World &input, int bit_depth) const;
    // Renders one frame on the calling thread; throws HostError for a bad job.
    FrameResult Render(const FrameJob &job);
    // Renders up to `threads` jobs at once on the host's render threads (never
    // more than it has); results in job order.
    std::vector<FrameResult> RenderAll(const std::vector<FrameJob> &jobs, int threads);
    // Calls worker() `threads` times at once on the host's render threads (never
    // more than it has) and returns when all have returned; the first exception
    // is rethrown then. For callers that feed frames themselves (reading and
    // writing files around each Render), so their frames and the effect's splits
    // share the same threads.
    void RunOnRenderThreads(int threads, const std::function<void()> &worker);
    int render_threads() const { return threads_.size(); }

    Books &books() { return books_; }

private:
    PF_Err Send(CallContext &ctx, PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                PF_ParamDef **params = nullptr, PF_LayerDef *output = nullptr, void *extra = nullptr);
    PF_InData MakeInData(CallContext &ctx, const FrameJob *job, const ParamSet &params,
                         const World *input) const;
    FrameResult RenderSmart(const FrameJob &job, const ParamSet &values, const World &input);
    FrameResult RenderLegacy(const FrameJob &job, const ParamSet &values, const World &input);
    void RenderRect(const FrameJob &job, const ParamSet &values, const World &input, const PF_LRect &rect,
                    World &assembled, FrameResult &result);
    // PF_Cmd_SMART_RENDER_GPU for one request. False when the effect declined
    // (the CPU render follows), true when the GPU render answered.
    bool RenderRectGpu(CallContext &ctx, const FrameJob &job, PF_InData *in_data,
                       const PF_RenderRequest &request, void *pre_render_data, TileReport &report,
                       FrameResult &result);
    void GpuDeviceSetdown();
    // The options' row layout for the worlds handed to the effect, origin (0, 0).
    WorldLayout HostRows() const { return {options_.row_padding_bytes, 0, 0, options_.bottom_up_rows}; }

    HostOptions options_;
    PiPL pipl_;
    DynamicLibrary library_;
    PF_FilterProc entry_ = nullptr;
    Books books_;
    SuiteTable suites_;
    GlobalInfo global_;
    ParamSet params_;
    std::unique_ptr<GpuDevice> gpu_device_;
    std::vector<GpuOffer> gpu_offers_;
    ThreadPool threads_;
};

} // namespace prismora::hostsim
