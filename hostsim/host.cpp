#include "hostsim/host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>

#include "hostsim/call_context.h"
#include "hostsim/callbacks.h"
#include "hostsim/gpu_device_suite.h"
#include "hostsim/host_error.h"
#include "hostsim/plugin_pipl.h"

namespace prismora::hostsim {
namespace {

constexpr A_long kApplicationId = 0x46585443; // 'FXTC', After Effects

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", value);
    return text;
}

PiPL CheckedPiPL(const std::filesystem::path &library)
{
    PiPL pipl = ReadPluginPiPL(library);
    if (pipl.kind != "eFKT") {
        throw HostError("PiPL kind is '" + pipl.kind + "', expected 'eFKT' (an effect)");
    }
    if (pipl.entry_point != "EffectMain") {
        throw HostError("PiPL entry point is \"" + pipl.entry_point + "\", expected \"EffectMain\"");
    }
    return pipl;
}

// After Effects always runs with TEMP set, and the plug-in keeps its log
// there (else in the current folder). Where the environment has none, the
// system's temporary folder is given, once, before any plug-in is loaded and
// any frame renders (the environment is not safe to change while other
// threads read it).
void ProvideTempFolder()
{
    static std::once_flag once;
    std::call_once(once, [] {
        std::error_code ec;
#ifdef _WIN32
        const wchar_t *temp = _wgetenv(L"TEMP");
        if (temp == nullptr || temp[0] == 0) {
            const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
            if (!ec) {
                _wputenv_s(L"TEMP", dir.c_str());
            }
        }
#else
        const char *temp = std::getenv("TEMP");
        if (temp == nullptr || temp[0] == 0) {
            const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
            if (!ec) {
                setenv("TEMP", dir.c_str(), 1);
            }
        }
#endif
    });
}

} // namespace

Host::Host(const std::filesystem::path &library, HostOptions options)
    : options_((ProvideTempFolder(), options)), pipl_(CheckedPiPL(library)), library_(library),
      threads_(options.threads)
{
    entry_ = reinterpret_cast<PF_FilterProc>(library_.Symbol(pipl_.entry_point.c_str()));
    if (!entry_) {
        throw HostError(library.string() + " exports no " + pipl_.entry_point);
    }
    suites_.Register(kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1, GpuDeviceSuite());
}

Host::~Host()
{
    if (global_.my_version == 0) {
        return;
    }
    // As After Effects does before unloading; the answers no longer matter.
    try {
        GpuDeviceSetdown();
        CallContext ctx(books_, suites_);
        PF_InData in = MakeInData(ctx, nullptr, params_, nullptr);
        PF_OutData out{};
        Send(ctx, PF_Cmd_GLOBAL_SETDOWN, &in, &out);
    } catch (...) {
    }
}

PF_Err Host::Send(CallContext &ctx, PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                  PF_ParamDef **params, PF_LayerDef *output, void *extra)
{
    return ctx.Send(entry_, cmd, in_data, out_data, params, output, extra);
}

PF_InData Host::MakeInData(CallContext &ctx, const FrameJob *job, const ParamSet &params,
                           const World *input) const
{
    PF_InData in{};
    in.inter = InteractCallbacks();
    in.utils = UtilCallbacks();
    in.effect_ref = ctx.effect_ref();
    in.quality = 1; // PF_Quality_HI
    in.version = {13, 29};
    in.appl_id = kApplicationId;
    in.num_params = params.size();
    in.time_step = 1;
    in.local_time_step = 1;
    in.total_time = 1;
    in.time_scale = 24;
    if (job) {
        in.current_time = job->current_time;
        in.time_step = job->time_step;
        in.local_time_step = job->time_step;
        in.total_time = job->current_time + job->time_step;
        in.time_scale = job->time_scale;
    }
    if (input) {
        in.width = input->width();
        in.height = input->height();
        in.extent_hint = {0, 0, input->width(), input->height()};
    }
    in.field = PF_Field_FRAME;
    in.downsample_x = {1, 1};
    in.downsample_y = {1, 1};
    in.pixel_aspect_ratio = {1, 1};
    in.pica_basicP = BasicSuite();
    return in;
}

std::string Host::About()
{
    CallContext ctx(books_, suites_);
    PF_InData in = MakeInData(ctx, nullptr, params_, nullptr);
    PF_OutData out{};
    if (PF_Err err = Send(ctx, PF_Cmd_ABOUT, &in, &out)) {
        throw HostError("the effect answered the about command with error " + std::to_string(err));
    }
    out.return_msg[PF_MAX_EFFECT_MSG_LEN] = '\0';
    return out.return_msg;
}

PF_Err Host::GlobalSetup()
{
    CallContext ctx(books_, suites_);
    PF_InData in = MakeInData(ctx, nullptr, params_, nullptr);
    PF_OutData out{};
    const PF_Err err = Send(ctx, PF_Cmd_GLOBAL_SETUP, &in, &out);
    if (err != PF_Err_NONE) {
        return err;
    }
    const GlobalInfo reported{out.my_version, out.out_flags, out.out_flags2};
    auto check = [](const char *what, uint32_t effect, const char *key, uint32_t pipl) {
        if (effect != pipl) {
            throw HostError(std::string("global set-up reports ") + what + " " + Hex(effect) +
                            " but the PiPL's " + key + " is " + Hex(pipl));
        }
    };
    check("my_version", reported.my_version, "eVER", pipl_.effect_version);
    check("out_flags", static_cast<uint32_t>(reported.out_flags), "eGLO",
          static_cast<uint32_t>(pipl_.global_flags));
    check("out_flags2", static_cast<uint32_t>(reported.out_flags2), "eGL2",
          static_cast<uint32_t>(pipl_.global_flags2));
    global_ = reported;
    return PF_Err_NONE;
}

PF_Err Host::ParamsSetup()
{
    CallContext ctx(books_, suites_);
    ParamSet declared;
    ctx.declaring = &declared;
    PF_InData in = MakeInData(ctx, nullptr, declared, nullptr);
    PF_OutData out{};
    const PF_Err err = Send(ctx, PF_Cmd_PARAMS_SETUP, &in, &out);
    params_ = declared;
    if (err == PF_Err_NONE && out.num_params != params_.size()) {
        throw HostError("parameter set-up reports " + std::to_string(out.num_params) +
                        " parameters but added " + std::to_string(params_.size()) +
                        " (the input layer included)");
    }
    return err;
}

void Host::Start()
{
    if (PF_Err err = GlobalSetup()) {
        throw HostError("global set-up failed with error " + std::to_string(err));
    }
    if (PF_Err err = ParamsSetup()) {
        throw HostError("parameter set-up failed with error " + std::to_string(err));
    }
    if (PF_Err err = GpuDeviceSetup()) {
        throw HostError("GPU device set-up failed with error " + std::to_string(err));
    }
}

FrameJob Host::NewFrame(const World &input, int bit_depth) const
{
    FrameJob job;
    job.input = &input;
    job.params = params_;
    job.bit_depth = bit_depth;
    return job;
}

std::vector<FrameResult> Host::RenderAll(const std::vector<FrameJob> &jobs, int threads)
{
    std::vector<FrameResult> results(jobs.size());
    std::vector<std::exception_ptr> errors(jobs.size());
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < jobs.size();) {
            try {
                results[i] = Render(jobs[i]);
            } catch (...) {
                errors[i] = std::current_exception();
            }
        }
    };
    RunOnRenderThreads(static_cast<int>(std::min<size_t>(std::max(threads, 1), jobs.size())), work);
    for (const std::exception_ptr &e : errors) {
        if (e) {
            std::rethrow_exception(e);
        }
    }
    return results;
}

void Host::RunOnRenderThreads(int threads, const std::function<void()> &worker)
{
    threads_.Run(std::clamp(threads, 1, threads_.size()), [&worker](int, long) { worker(); });
}

} // namespace prismora::hostsim
