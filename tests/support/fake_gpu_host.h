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
    // Every call, in order: "acquire <suite>", "release <suite>", "checkout <id>",
    // "checkout output", "checkin <id>", "format", "data", "create", "dispose <n>"
    // (n: creation index).
    std::vector<std::string> events;

    // Event -> which of its calls fails (1-based), with injected_error (a suite: not found).
    std::map<std::string, int> failing;
    PF_Err injected_error = 517;

    // What the checkouts hand out, the format of each world (GPU format when
    // not listed) and the device memory of the checked-out worlds.
    PF_EffectWorld *layer_worlds[2] = {nullptr, nullptr};
    PF_EffectWorld *output_world = nullptr;
    std::map<const PF_EffectWorld *, PF_PixelFormat> formats;
    std::map<const PF_EffectWorld *, void *> device_memory;

    // The worlds CreateGPUWorld made, by creation index.
    std::vector<std::unique_ptr<PF_EffectWorld>> created;

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
        cb_.checkout_layer_pixels = &CheckoutLayerPixels;
        cb_.checkin_layer_pixels = &CheckinLayerPixels;
        cb_.checkout_output = &CheckoutOutput;
        smart_input.what_gpu = PF_GPU_Framework_CUDA;
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

private:
    // Suite functions carry no effect_ref, so they find the host of this thread.
    static FakeGpuHost *&Current()
    {
        thread_local FakeGpuHost *current = nullptr;
        return current;
    }
    static FakeGpuHost &Of(PF_ProgPtr ref) { return *reinterpret_cast<FakeGpuHost *>(ref); }

    // Records the call; true if it is to fail.
    bool Fails(const std::string &event)
    {
        events.push_back(event);
        const auto it = failing.find(event);
        return it != failing.end() && std::count(events.begin(), events.end(), event) == it->second;
    }

    static SPErr AcquireSuite(const char *name, int32 version, const void **suite)
    {
        FakeGpuHost &host = *Current();
        const std::string key = std::string(name) + " " + std::to_string(version);
        *suite = key == "PF World Suite 2"        ? static_cast<const void *>(&host.world_suite_)
                 : key == "PF GPU Device Suite 1" ? static_cast<const void *>(&host.gpu_suite_)
                                                  : nullptr;
        if (host.Fails("acquire " + key) || *suite == nullptr) {
            *suite = nullptr;
            return 0x53214664; // 'S!Fd', the basic suite's not-found code
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
        if (host.Fails("format")) {
            return host.injected_error;
        }
        const auto it = host.formats.find(world);
        *format = it != host.formats.end() ? it->second : PF_PixelFormat_GPU_BGRA128;
        return PF_Err_NONE;
    }

    static PF_Err CreateGPUWorld(PF_ProgPtr ref, A_u_long, A_long width, A_long height, PF_RationalScale par,
                                 PF_Field, PF_PixelFormat, PF_Boolean, PF_EffectWorld **world)
    {
        FakeGpuHost &host = Of(ref);
        if (host.Fails("create")) {
            return host.injected_error;
        }
        host.memory_.emplace_back(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        host.created.push_back(std::make_unique<PF_EffectWorld>());
        *world = host.created.back().get();
        (*world)->width = width;
        (*world)->height = height;
        (*world)->rowbytes = width * 16;
        (*world)->pix_aspect_ratio = par;
        host.device_memory[*world] = host.memory_.back().data();
        return PF_Err_NONE;
    }

    static PF_Err DisposeGPUWorld(PF_ProgPtr ref, PF_EffectWorld *world)
    {
        FakeGpuHost &host = Of(ref);
        for (size_t i = 0; i < host.created.size(); ++i) {
            if (host.created[i].get() == world) {
                return host.Fails("dispose " + std::to_string(i)) ? host.injected_error : PF_Err_NONE;
            }
        }
        host.events.push_back("dispose unknown");
        return PF_Err_BAD_CALLBACK_PARAM;
    }

    static PF_Err GetGPUWorldData(PF_ProgPtr ref, PF_EffectWorld *world, void **pixels)
    {
        FakeGpuHost &host = Of(ref);
        if (host.Fails("data")) {
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
        if (host.Fails("checkout " + std::to_string(id))) {
            return host.injected_error;
        }
        *pixels = host.layer_worlds[id];
        return PF_Err_NONE;
    }
    static PF_Err CheckinLayerPixels(PF_ProgPtr ref, A_long id)
    {
        FakeGpuHost &host = Of(ref);
        return host.Fails("checkin " + std::to_string(id)) ? host.injected_error : PF_Err_NONE;
    }
    static PF_Err CheckoutOutput(PF_ProgPtr ref, PF_EffectWorld **output)
    {
        FakeGpuHost &host = Of(ref);
        if (host.Fails("checkout output")) {
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

    std::vector<std::vector<float>> memory_;
    SPBasicSuite basic_{};
    PF_WorldSuite2 world_suite_{};
    PF_GPUDeviceSuite1 gpu_suite_{};
    PF_UtilCallbacks utils_{};
    PF_InData in_data_{};
    PF_SmartRenderCallbacks cb_{};
    PF_SmartRenderExtra extra_{};
};

} // namespace prismora::test
