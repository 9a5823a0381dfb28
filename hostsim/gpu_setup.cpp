// GPU device set-up and set-down, as After Effects offers its devices to an
// effect: once per device and framework, before the first GPU frame.
#include "hostsim/call_context.h"
#include "hostsim/host.h"

namespace prismora::hostsim {
namespace {

std::unique_ptr<GpuDevice> OpenDevice(GpuDeviceChoice choice)
{
    switch (choice) {
    case GpuDeviceChoice::kCudaIfPresent:
        return OpenCudaDevice(0);
    case GpuDeviceChoice::kEmulated:
        return MakeEmulatedGpuDevice();
    case GpuDeviceChoice::kNone:
        break;
    }
    return nullptr;
}

} // namespace

PF_Err Host::GpuDeviceSetup()
{
    if (!gpu_device_) {
        gpu_device_ = OpenDevice(options_.gpu_device);
    }
    if (!gpu_device_) {
        return PF_Err_NONE;
    }
    PF_Err first = PF_Err_NONE;
    // DirectX as well as CUDA: an effect must decline what it cannot render with.
    for (const PF_GPU_Framework framework : {PF_GPU_Framework_CUDA, PF_GPU_Framework_DIRECTX}) {
        CallContext ctx(books_, suites_);
        PF_InData in = MakeInData(ctx, nullptr, params_, nullptr);
        PF_OutData out{};
        PF_GPUDeviceSetupInput setup_in{framework, 0};
        PF_GPUDeviceSetupOutput setup_out{};
        PF_GPUDeviceSetupExtra extra{&setup_in, &setup_out};
        GpuOffer offer;
        offer.framework = framework;
        offer.err = Send(ctx, PF_Cmd_GPU_DEVICE_SETUP, &in, &out, nullptr, nullptr, &extra);
        offer.accepted = offer.err == PF_Err_NONE && (out.out_flags2 & PF_OutFlag2_SUPPORTS_GPU_RENDER_F32);
        offer.gpu_data = setup_out.gpu_data;
        if (offer.accepted && framework != PF_GPU_Framework_CUDA) {
            books_.Note("the effect accepted a device offered under framework " + std::to_string(framework) +
                        ", which it cannot render with");
        }
        if (first == PF_Err_NONE) {
            first = offer.err;
        }
        gpu_offers_.push_back(offer);
    }
    return first;
}

const GpuOffer *Host::AcceptedGpuOffer() const
{
    for (const GpuOffer &offer : gpu_offers_) {
        if (offer.accepted && offer.framework == PF_GPU_Framework_CUDA) {
            return &offer;
        }
    }
    return nullptr;
}

void Host::GpuDeviceSetdown()
{
    for (const GpuOffer &offer : gpu_offers_) {
        if (!offer.accepted) {
            continue;
        }
        CallContext ctx(books_, suites_);
        PF_InData in = MakeInData(ctx, nullptr, params_, nullptr);
        PF_OutData out{};
        PF_GPUDeviceSetdownInput setdown_in{offer.gpu_data, offer.framework, offer.device_index};
        PF_GPUDeviceSetdownExtra extra{&setdown_in};
        Send(ctx, PF_Cmd_GPU_DEVICE_SETDOWN, &in, &out, nullptr, nullptr, &extra);
    }
    gpu_offers_.clear();
}

} // namespace prismora::hostsim
