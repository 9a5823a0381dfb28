#include "hostsim/call_context.h"

#include <mutex>
#include <set>

#include "hostsim/host_error.h"

namespace prismora::hostsim {
namespace {

std::mutex g_live_mutex;
std::set<const CallContext *> g_live; // contexts whose address is a valid effect_ref
thread_local CallContext *t_current = nullptr;

} // namespace

CallContext::CallContext(Books &b, const SuiteTable &s) : books(b), suites(s)
{
    std::lock_guard lock(g_live_mutex);
    g_live.insert(this);
}

CallContext::~CallContext()
{
    std::lock_guard lock(g_live_mutex);
    g_live.erase(this);
}

CallContext *CallContext::FromRef(PF_ProgPtr ref)
{
    auto *ctx = reinterpret_cast<CallContext *>(ref);
    std::lock_guard lock(g_live_mutex);
    return g_live.contains(ctx) && ctx->magic_ == kMagic ? ctx : nullptr;
}

CallContext *CallContext::Current()
{
    return t_current;
}

PF_Err CallContext::Send(PF_FilterProc entry, PF_Cmd command, PF_InData *in_data, PF_OutData *out_data,
                         PF_ParamDef **params, PF_LayerDef *out, void *extra)
{
    cmd = command;
    previous_ = t_current;
    t_current = this;
    PF_Err err = PF_Err_NONE;
    bool escaped = false;
    try {
        err = entry(command, in_data, out_data, params, out, extra);
    } catch (...) {
        escaped = true;
    }
    t_current = previous_;
    cmd = -1;
    if (escaped) {
        throw HostError("an exception escaped EffectMain during command " + std::to_string(command));
    }
    if (!checked_out_params.empty()) {
        long left = 0;
        for (const auto &[record, count] : checked_out_params) {
            left += count;
        }
        books.Note("command " + std::to_string(command) + " left " + std::to_string(left) +
                   " parameter(s) checked out");
        checked_out_params.clear();
    }
    return err;
}

void CallContext::FinishFrame()
{
    long left = 0;
    for (auto &[id, checkout] : layers) {
        if (checkout.checked_out > 0) {
            books.Note("checkout id " + std::to_string(id) + " was not checked in");
            left += checkout.checked_out;
        }
    }
    const long leaked = static_cast<long>(effect_worlds.size());
    if (leaked > 0) {
        books.Note(std::to_string(leaked) + " world(s) created by the effect were not disposed");
    }
    const long gpu_leaked = static_cast<long>(effect_gpu_worlds.size());
    if (gpu_leaked > 0) {
        books.Note(std::to_string(gpu_leaked) + " GPU world(s) created by the effect were not disposed");
    }
    books.Update([&](BookTotals &t) {
        t.layer_pixels_left_out += left;
        t.effect_worlds_leaked += leaked;
        t.gpu_worlds_leaked += gpu_leaked;
    });
    effect_worlds.clear();
    effect_gpu_worlds.clear();
}

PF_Err CallContext::Enter(const char *callback, std::string_view detail)
{
    if (cmd < 0) {
        return Refuse(std::string(callback) + " called while no command is in progress");
    }
    return books.OnCall(callback, detail);
}

PF_Err CallContext::Refuse(const std::string &why)
{
    books.Note(why);
    return PF_Err_BAD_CALLBACK_PARAM;
}

GpuWorld *CallContext::FindGpuWorld(const PF_EffectWorld *world) const
{
    if (!world) {
        return nullptr;
    }
    std::vector<GpuWorld *> known;
    if (gpu_output) {
        known.push_back(gpu_output.get());
    }
    for (const auto &[id, checkout] : layers) {
        if (checkout.gpu_pixels) {
            known.push_back(checkout.gpu_pixels.get());
        }
    }
    for (const auto &w : effect_gpu_worlds) {
        known.push_back(w.get());
    }
    for (GpuWorld *w : known) {
        if (&w->pf() == world) {
            return w;
        }
    }
    return nullptr;
}

void CallContext::DropGpuWorlds()
{
    gpu_output.reset();
    for (auto &[id, checkout] : layers) {
        checkout.gpu_pixels.reset();
    }
}

std::optional<PixelFormat> CallContext::FormatOf(const PF_EffectWorld *world) const
{
    if (!world) {
        return std::nullopt;
    }
    if (FindGpuWorld(world)) {
        return PixelFormat::kGpuBgra128;
    }
    std::vector<const World *> known = frame_worlds;
    if (output) {
        known.push_back(output.get());
    }
    for (const auto &[id, checkout] : layers) {
        if (checkout.pixels) {
            known.push_back(checkout.pixels.get());
        }
    }
    for (const auto &w : effect_worlds) {
        known.push_back(w.get());
    }
    // By address first; a copy of a record (a checked-out layer parameter) by its pixels.
    for (const World *w : known) {
        if (&w->pf() == world) {
            return w->format();
        }
    }
    for (const World *w : known) {
        if (world->data && w->pf().data == world->data) {
            return w->format();
        }
    }
    return std::nullopt;
}

} // namespace prismora::hostsim
