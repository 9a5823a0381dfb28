// The basic suite, the world suite and the Iterate8 suite's generic iterator.
#include "hostsim/suites.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "AE_EffectSuites.h"
#include "hostsim/call_context.h"

namespace prismora::hostsim {
namespace {

SPErr AcquireSuite(const char *name, int32 version, const void **suite)
{
    CallContext *ctx = CallContext::Current();
    if (!ctx) {
        return kSuiteNotFound; // no command of this host runs on this thread
    }
    if (PF_Err err = ctx->Enter("AcquireSuite", name ? name : "")) {
        return err;
    }
    if (!name || !suite) {
        return ctx->Refuse("AcquireSuite without a name or a place for the suite");
    }
    const void *found = ctx->suites.Find(name, version);
    if (!found) {
        return kSuiteNotFound;
    }
    *suite = found;
    ctx->books.AddSuite(name, true);
    return kSPNoError;
}

SPErr ReleaseSuite(const char *name, int32 version)
{
    CallContext *ctx = CallContext::Current();
    if (!ctx) {
        return kSuiteNotFound;
    }
    if (PF_Err err = ctx->Enter("ReleaseSuite", name ? name : "")) {
        return err;
    }
    if (!name || !ctx->suites.Find(name, version)) {
        return ctx->Refuse("ReleaseSuite of a suite the host does not have");
    }
    ctx->books.AddSuite(name, false);
    return kSPNoError;
}

SPBoolean IsEqual(const char *a, const char *b)
{
    return a && b && std::strcmp(a, b) == 0;
}

SPErr AllocateBlock(size_t, void **)
{
    return kSuiteNotFound;
}
SPErr FreeBlock(void *)
{
    return kSuiteNotFound;
}
SPErr ReallocateBlock(void *, size_t, void **)
{
    return kSuiteNotFound;
}
SPErr Undefined()
{
    return kSuiteNotFound;
}

PF_Err NewWorld(PF_ProgPtr effect_ref, A_long width, A_long height, PF_Boolean, PF_PixelFormat pixel_format,
                PF_EffectWorld *world)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("PF_NewWorld")) {
        return err;
    }
    PixelFormat format;
    switch (pixel_format) {
    case PF_PixelFormat_ARGB32:
        format = PixelFormat::kArgb32;
        break;
    case PF_PixelFormat_ARGB64:
        format = PixelFormat::kArgb64;
        break;
    case PF_PixelFormat_ARGB128:
        format = PixelFormat::kArgb128;
        break;
    default:
        return ctx->Refuse("PF_NewWorld in pixel format " + std::to_string(pixel_format));
    }
    if (!world || width < 0 || height < 0) {
        return ctx->Refuse("PF_NewWorld without a record or with a negative size");
    }
    // Always cleared: the host has no reason to hand out stale memory.
    ctx->effect_worlds.push_back(std::make_unique<World>(width, height, format));
    *world = ctx->effect_worlds.back()->pf();
    ctx->books.Update([](BookTotals &t) { ++t.effect_worlds_created; });
    return PF_Err_NONE;
}

PF_Err DisposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld *world)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("PF_DisposeWorld")) {
        return err;
    }
    for (auto it = ctx->effect_worlds.begin(); world && it != ctx->effect_worlds.end(); ++it) {
        if ((*it)->pf().data == world->data) {
            ctx->effect_worlds.erase(it);
            std::memset(world, 0, sizeof(*world));
            ctx->books.Update([](BookTotals &t) { ++t.effect_worlds_disposed; });
            return PF_Err_NONE;
        }
    }
    return ctx->Refuse("PF_DisposeWorld of a world the effect did not create");
}

PF_Err GetPixelFormat(const PF_EffectWorld *world, PF_PixelFormat *pixel_format)
{
    CallContext *ctx = CallContext::Current();
    if (!ctx) {
        return PF_Err_INVALID_CALLBACK;
    }
    if (PF_Err err = ctx->Enter("PF_GetPixelFormat")) {
        return err;
    }
    const std::optional<PixelFormat> format = ctx->FormatOf(world);
    if (!format || !pixel_format) {
        return ctx->Refuse("PF_GetPixelFormat of a world the host did not hand out");
    }
    *pixel_format = SdkPixelFormat(*format);
    return PF_Err_NONE;
}

const PF_WorldSuite2 kWorldSuite{NewWorld, DisposeWorld, GetPixelFormat};

// Runs the calls on the host's render threads, the calling thread among them
// (thread index 0). Calls on other threads have no command of their own: they
// must not call back into the host.
PF_Err IterateGeneric(A_long iterations, void *refcon,
                      PF_Err (*fn)(void *refcon, A_long thread_index, A_long i, A_long iterations))
{
    CallContext *ctx = CallContext::Current();
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("iterate_generic")) {
        return err;
    }
    if (!fn || iterations < PF_Iterations_ONCE_PER_PROCESSOR) {
        return ctx->Refuse("iterate_generic without a function or with " + std::to_string(iterations) +
                           " iterations");
    }
    const A_long count = iterations == PF_Iterations_ONCE_PER_PROCESSOR
                             ? (ctx->threads ? ctx->threads->size() : 1)
                             : iterations;
    std::atomic<PF_Err> first{PF_Err_NONE};
    const auto call = [&](int thread_index, long i) {
        const PF_Err err = fn(refcon, thread_index, static_cast<A_long>(i), count);
        PF_Err none = PF_Err_NONE;
        if (err != PF_Err_NONE) {
            first.compare_exchange_strong(none, err);
        }
    };
    if (ctx->threads) {
        ctx->threads->Run(count, call);
    } else {
        for (A_long i = 0; i < count; ++i) {
            call(0, i);
        }
    }
    return first.load();
}

const PF_Iterate8Suite2 kIterateSuite{nullptr, nullptr, nullptr, nullptr, IterateGeneric};

} // namespace

SuiteTable::SuiteTable()
{
    Register(kPFWorldSuite, kPFWorldSuiteVersion2, &kWorldSuite);
    Register(kPFIterate8Suite, kPFIterate8SuiteVersion2, &kIterateSuite);
}

void SuiteTable::Register(std::string name, int32 version, const void *suite)
{
    suites_[{std::move(name), version}] = suite;
}

const void *SuiteTable::Find(std::string_view name, int32 version) const
{
    const auto it = suites_.find(std::pair<std::string, int32>(std::string(name), version));
    return it == suites_.end() ? nullptr : it->second;
}

SPBasicSuite *BasicSuite()
{
    static SPBasicSuite suite{AcquireSuite, ReleaseSuite,    IsEqual,  AllocateBlock,
                              FreeBlock,    ReallocateBlock, Undefined};
    return &suite;
}

} // namespace prismora::hostsim
