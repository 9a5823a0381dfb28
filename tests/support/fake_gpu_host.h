// A small in-process stand-in for the host of a GPU smart render: the basic
// suite, the world suite's pixel format query, the GPU device suite's worlds
// and the smart render callbacks. Every call is recorded in one ordered event
// list, and any of them can be made to fail. GPU worlds are plain host memory,
// as the emulated device expects.
#pragma once

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectGPUSuites.h"
#include "AE_EffectSuites.h"
#include "SP/SPBasic.h"

namespace prismora::test {

class FakeGpuHost {
public:
    // A world made by CreateGPUWorld: the arguments it came with and its memory.
    struct CreatedWorld {
        A_u_long device_index = 0;
        PF_RationalScale pixel_aspect_ratio{};
        PF_Field field = 0;
        PF_PixelFormat format = 0;
        PF_Boolean clear = 0;
        PF_EffectWorld world{};
        std::vector<float> memory; // kept after disposal so tests can read it
        bool disposed = false;
    };

    // Rows of created worlds are this many pixels wider than the world, plus
    // one more per world created before, so that a pitch mix-up shows.
    static constexpr A_long kCreatedRowPadding = 5;
    static constexpr float kCreatedFill = -555.0f;
    static constexpr SPErr kSuiteNotFound = 0x53214664; // 'S!Fd', the basic suite's code

    // Every call, in order: "acquire <suite>", "release <suite>", "checkout <id>",
    // "checkout output", "checkin <id>", "format", "data", "create", "dispose <n>"
    // (n: creation index).
    std::vector<std::string> events;

    // Injected failures.
    std::set<std::string> missing_suites;
    A_long fail_checkout_id = -1;
    A_long fail_checkin_id = -1;
    bool fail_output_checkout = false;
    int fail_format_call = 0;     // 1-based, among PF_GetPixelFormat calls
    int fail_world_data_call = 0; // 1-based, among GetGPUWorldData calls
    int fail_create_call = 0;     // 1-based, among CreateGPUWorld calls
    A_long fail_dispose_index = -1;
    PF_Err injected_error = 517;

    // What the checkouts hand out, the format of each world (GPU format when
    // not listed) and the device memory of the checked-out worlds.
    PF_EffectWorld *layer_worlds[2] = {nullptr, nullptr};
    PF_EffectWorld *output_world = nullptr;
    std::map<const PF_EffectWorld *, PF_PixelFormat> formats;
    std::map<const PF_EffectWorld *, void *> device_memory;

    std::vector<std::unique_ptr<CreatedWorld>> created;

    PF_SmartRenderInput smart_input{};
    PF_OutData out_data{};

    FakeGpuHost()
    {
        Current() = this;
        basic_.AcquireSuite = &AcquireSuite;
        basic_.ReleaseSuite = &ReleaseSuite;
        world_suite_.PF_GetPixelFormat = &GetPixelFormat;
        gpu_suite_.CreateGPUWorld = &CreateGPUWorld;
        gpu_suite_.DisposeGPUWorld = &DisposeGPUWorld;
        gpu_suite_.GetGPUWorldData = &GetGPUWorldData;
        utils_.ansi.sprintf = &Sprintf;
        in_data_.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
        in_data_.pica_basicP = &basic_;
        in_data_.utils = &utils_;
        in_data_.field = 2;
        cb_.checkout_layer_pixels = &CheckoutLayerPixels;
        cb_.checkin_layer_pixels = &CheckinLayerPixels;
        cb_.checkout_output = &CheckoutOutput;
        smart_input.what_gpu = PF_GPU_Framework_CUDA;
        smart_input.device_index = 1;
        smart_input.bitdepth = 32;
        extra_ = {&smart_input, &cb_};
    }
    ~FakeGpuHost()
    {
        if (Current() == this) {
            Current() = nullptr;
        }
    }
    FakeGpuHost(const FakeGpuHost &) = delete;
    FakeGpuHost &operator=(const FakeGpuHost &) = delete;

    PF_InData *in_data() { return &in_data_; }
    PF_SmartRenderExtra *extra() { return &extra_; }

    int Count(const std::string &event) const
    {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
    // Events that name a suite, a checkout or a world call, without the rest.
    std::vector<std::string> EventsStartingWith(const std::string &prefix) const
    {
        std::vector<std::string> picked;
        for (const std::string &e : events) {
            if (e.rfind(prefix, 0) == 0) {
                picked.push_back(e);
            }
        }
        return picked;
    }
    int DisposedCount() const
    {
        int n = 0;
        for (const auto &c : created) {
            n += c->disposed ? 1 : 0;
        }
        return n;
    }

private:
    // Suite functions carry no effect_ref, so they find the host of this thread.
    static FakeGpuHost *&Current()
    {
        thread_local FakeGpuHost *current = nullptr;
        return current;
    }
    static FakeGpuHost &Of(PF_ProgPtr ref) { return *reinterpret_cast<FakeGpuHost *>(ref); }

    static SPErr AcquireSuite(const char *name, int32 version, const void **suite)
    {
        FakeGpuHost &host = *Current();
        const std::string key = std::string(name) + " " + std::to_string(version);
        host.events.push_back("acquire " + key);
        if (host.missing_suites.count(key) != 0) {
            *suite = nullptr;
            return kSuiteNotFound;
        }
        if (key == "PF World Suite 2") {
            *suite = &host.world_suite_;
        } else if (key == "PF GPU Device Suite 1") {
            *suite = &host.gpu_suite_;
        } else {
            *suite = nullptr;
            return kSuiteNotFound;
        }
        return kSPNoError;
    }
    static SPErr ReleaseSuite(const char *name, int32 version)
    {
        Current()->events.push_back("release " + std::string(name) + " " + std::to_string(version));
        return kSPNoError;
    }

    static PF_Err GetPixelFormat(const PF_EffectWorld *world, PF_PixelFormat *format)
    {
        FakeGpuHost &host = *Current();
        host.events.push_back("format");
        if (++host.format_calls_ == host.fail_format_call) {
            return host.injected_error;
        }
        const auto it = host.formats.find(world);
        *format = it != host.formats.end() ? it->second : PF_PixelFormat_GPU_BGRA128;
        return PF_Err_NONE;
    }

    static PF_Err CreateGPUWorld(PF_ProgPtr ref, A_u_long device_index, A_long width, A_long height,
                                 PF_RationalScale par, PF_Field field, PF_PixelFormat format,
                                 PF_Boolean clear, PF_EffectWorld **world)
    {
        FakeGpuHost &host = Of(ref);
        host.events.push_back("create");
        if (++host.create_calls_ == host.fail_create_call) {
            return host.injected_error;
        }
        auto made = std::make_unique<CreatedWorld>();
        made->device_index = device_index;
        made->pixel_aspect_ratio = par;
        made->field = field;
        made->format = format;
        made->clear = clear;
        const A_long pitch = width + kCreatedRowPadding + static_cast<A_long>(host.created.size());
        made->memory.assign(static_cast<size_t>(pitch) * static_cast<size_t>(height) * 4, kCreatedFill);
        made->world.width = width;
        made->world.height = height;
        made->world.rowbytes = pitch * 16;
        made->world.pix_aspect_ratio = par;
        host.device_memory[&made->world] = made->memory.data();
        *world = &made->world;
        host.created.push_back(std::move(made));
        return PF_Err_NONE;
    }

    static PF_Err DisposeGPUWorld(PF_ProgPtr ref, PF_EffectWorld *world)
    {
        FakeGpuHost &host = Of(ref);
        for (size_t i = 0; i < host.created.size(); ++i) {
            if (&host.created[i]->world == world) {
                host.events.push_back("dispose " + std::to_string(i));
                host.created[i]->disposed = true;
                return static_cast<A_long>(i) == host.fail_dispose_index ? host.injected_error : PF_Err_NONE;
            }
        }
        host.events.push_back("dispose unknown");
        return PF_Err_BAD_CALLBACK_PARAM;
    }

    static PF_Err GetGPUWorldData(PF_ProgPtr ref, PF_EffectWorld *world, void **pixels)
    {
        FakeGpuHost &host = Of(ref);
        host.events.push_back("data");
        if (++host.world_data_calls_ == host.fail_world_data_call) {
            return host.injected_error;
        }
        const auto it = host.device_memory.find(world);
        if (it == host.device_memory.end()) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        *pixels = it->second;
        return PF_Err_NONE;
    }

    static PF_Err CheckoutLayerPixels(PF_ProgPtr ref, A_long id, PF_EffectWorld **pixels)
    {
        FakeGpuHost &host = Of(ref);
        host.events.push_back("checkout " + std::to_string(id));
        if (id == host.fail_checkout_id) {
            return host.injected_error;
        }
        *pixels = host.layer_worlds[id];
        return PF_Err_NONE;
    }
    static PF_Err CheckinLayerPixels(PF_ProgPtr ref, A_long id)
    {
        FakeGpuHost &host = Of(ref);
        host.events.push_back("checkin " + std::to_string(id));
        return id == host.fail_checkin_id ? host.injected_error : PF_Err_NONE;
    }
    static PF_Err CheckoutOutput(PF_ProgPtr ref, PF_EffectWorld **output)
    {
        FakeGpuHost &host = Of(ref);
        host.events.push_back("checkout output");
        if (host.fail_output_checkout) {
            return host.injected_error;
        }
        *output = host.output_world;
        return PF_Err_NONE;
    }

    static int Sprintf(A_char *dst, const A_char *format, ...)
    {
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(dst, PF_MAX_EFFECT_MSG_LEN + 1, format, args);
        va_end(args);
        return n;
    }

    int format_calls_ = 0;
    int world_data_calls_ = 0;
    int create_calls_ = 0;
    SPBasicSuite basic_{};
    PF_WorldSuite2 world_suite_{};
    PF_GPUDeviceSuite1 gpu_suite_{};
    PF_UtilCallbacks utils_{};
    PF_InData in_data_{};
    PF_SmartRenderCallbacks cb_{};
    PF_SmartRenderExtra extra_{};
};

} // namespace prismora::test
