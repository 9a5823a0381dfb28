// The real launchers: argument checks and error text, and,
// where a CUDA device exists, device results against the emulated device.
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include <cuda_runtime_api.h>
#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "cpu/gaussian_blur.h"
#include "diag/log.h"
#include "gpu/cuda_error_text.h"
#include "gpu/cuda_launchers.h"
#include "gpu/emulation/emulated_device.h"

namespace prismora {
namespace {

using test::BgraFrame;
using test::PatternImage;

std::string ErrorText()
{
    return LastCudaErrorText();
}

bool HaveCudaDevice()
{
    int count = 0;
    return cudaGetDeviceCount(&count) == cudaSuccess && count > 0;
}

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override { CopyCudaErrorText("stale text from an earlier call"); }

    BgraFrame src_{8, 4};
    BgraFrame dst_{8, 4};
    std::vector<float> weights_ = {0.25f, 0.5f, 0.25f};
};

// Each refusal is cudaErrorInvalidValue with the runtime's own text.
TEST_F(LauncherTest, MissingPointersAndEmptySizesAreRefused)
{
    using Launch = cudaError_t (*)(const float *, float *, int, int, int, int, const float *, int, bool);
    const float *w = weights_.data();
    for (Launch launch : {Launch(LaunchBlurHorizontal), Launch(LaunchBlurVertical)}) {
        EXPECT_EQ(launch(nullptr, dst_.data(), 8, 8, 8, 4, w, 3, false), cudaErrorInvalidValue);
        EXPECT_EQ(launch(src_.data(), nullptr, 8, 8, 8, 4, w, 3, false), cudaErrorInvalidValue);
        EXPECT_EQ(launch(src_.data(), dst_.data(), 8, 8, 8, 4, nullptr, 3, false), cudaErrorInvalidValue);
        EXPECT_EQ(launch(src_.data(), dst_.data(), 8, 8, 0, 4, w, 3, false), cudaErrorInvalidValue);
        EXPECT_EQ(launch(src_.data(), dst_.data(), 8, 8, 8, -1, w, 3, true), cudaErrorInvalidValue);
        CopyCudaErrorText("");
        EXPECT_EQ(launch(src_.data(), dst_.data(), 8, 8, 8, 4, w, 0, false), cudaErrorInvalidValue);
        EXPECT_EQ(ErrorText(), cudaGetErrorString(cudaErrorInvalidValue));
    }
    const TPCudaPrismoraParams p = DefaultPrismoraParams();
    EXPECT_EQ(LaunchGlassComposite(nullptr, src_.data(), src_.data(), nullptr, dst_.data(), &p),
              cudaErrorInvalidValue);
    EXPECT_EQ(LaunchGlassComposite(src_.data(), src_.data(), src_.data(), nullptr, nullptr, &p),
              cudaErrorInvalidValue);
    CopyCudaErrorText("");
    EXPECT_EQ(LaunchGlassComposite(src_.data(), src_.data(), src_.data(), nullptr, dst_.data(), nullptr),
              cudaErrorInvalidValue);
    EXPECT_EQ(ErrorText(), cudaGetErrorString(cudaErrorInvalidValue));
}

TEST_F(LauncherTest, WithoutADeviceAValidCallReportsTheRuntimesError)
{
    if (HaveCudaDevice()) {
        GTEST_SKIP() << "a CUDA device is present";
    }
    const cudaError_t blur =
        LaunchBlurHorizontal(src_.data(), dst_.data(), 8, 8, 8, 4, weights_.data(), 3, false);
    EXPECT_NE(blur, cudaSuccess);
    EXPECT_EQ(ErrorText(), cudaGetErrorString(blur));

    CopyCudaErrorText("stale");
    TPCudaPrismoraParams p = DefaultPrismoraParams();
    p.out_width = 8;
    p.out_height = 4;
    const cudaError_t composite =
        LaunchGlassComposite(src_.data(), nullptr, nullptr, nullptr, dst_.data(), &p);
    EXPECT_NE(composite, cudaSuccess);
    EXPECT_EQ(ErrorText(), cudaGetErrorString(composite));
}

TEST(CudaErrorText, CopyRule)
{
    const std::string long_text(300, 'x');
    CopyCudaErrorText((long_text.substr(0, 254) + "yz" + long_text.substr(0, 44)).c_str());
    EXPECT_EQ(ErrorText(), std::string(254, 'x') + "y"); // 255 bytes, then the terminator

    CopyCudaErrorText(nullptr);
    EXPECT_EQ(ErrorText(), "unknown CUDA error");

    EXPECT_EQ(RecordCudaError(cudaErrorMemoryAllocation), cudaErrorMemoryAllocation);
    EXPECT_EQ(ErrorText(), cudaGetErrorString(cudaErrorMemoryAllocation));
    EXPECT_EQ(RecordCudaError(cudaSuccess), cudaSuccess);
    EXPECT_EQ(ErrorText(), "");
}

// ---------------------------------------------------------------- on a device

// A device copy of a host frame, freed on scope exit.
struct DeviceFrame {
    explicit DeviceFrame(const BgraFrame &host) : bytes(host.bytes())
    {
        EXPECT_EQ(cudaMalloc(&data, bytes), cudaSuccess);
        EXPECT_EQ(cudaMemcpy(data, host.data(), bytes, cudaMemcpyHostToDevice), cudaSuccess);
    }
    DeviceFrame(const DeviceFrame &) = delete;
    DeviceFrame &operator=(const DeviceFrame &) = delete;
    ~DeviceFrame() { cudaFree(data); }
    float *get() const { return static_cast<float *>(data); }

    size_t bytes;
    void *data = nullptr;
};

// Every float of the device's frame, row padding included, against the emulated device's.
void ExpectNear(const DeviceFrame &device, const BgraFrame &emulated, float tolerance, const char *what)
{
    std::vector<float> got(emulated.floats().size());
    ASSERT_EQ(cudaMemcpy(got.data(), device.data, device.bytes, cudaMemcpyDeviceToHost), cudaSuccess);
    int mismatches = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        if (!(std::fabs(got[i] - emulated.floats()[i]) <= tolerance) && ++mismatches <= 5) {
            ADD_FAILURE() << what << " pixel " << i / 4 % emulated.pitch() << "," << i / 4 / emulated.pitch()
                          << ": device " << got[i] << " emulated " << emulated.floats()[i];
        }
    }
    EXPECT_EQ(mismatches, 0) << what;
}

class OnDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveCudaDevice()) {
            GTEST_SKIP() << "no CUDA device: device results are checked on GPU machines only";
        }
    }
};

TEST_F(OnDevice, BlurMatchesTheEmulatedDevice)
{
    const BgraFrame src = BgraFrame::FromImage(PatternImage(45, 33, 21), 3);
    const std::vector<float> weights = GaussianKernel(4.2f, 3);
    const int taps = static_cast<int>(weights.size());
    for (bool clamp : {false, true}) {
        BgraFrame mid(45, 33, 1);
        BgraFrame emulated(45, 33, 2);
        const DeviceFrame d_src(src);
        const DeviceFrame d_mid(mid);
        const DeviceFrame d_dst(emulated);
        ASSERT_EQ(emulated::LaunchBlurHorizontal(src.data(), mid.data(), src.pitch(), mid.pitch(), 45, 33,
                                                 weights.data(), taps, clamp),
                  cudaSuccess);
        ASSERT_EQ(emulated::LaunchBlurVertical(mid.data(), emulated.data(), mid.pitch(), emulated.pitch(), 45,
                                               33, weights.data(), taps, clamp),
                  cudaSuccess);
        CopyCudaErrorText("stale");
        ASSERT_EQ(LaunchBlurHorizontal(d_src.get(), d_mid.get(), src.pitch(), mid.pitch(), 45, 33,
                                       weights.data(), taps, clamp),
                  cudaSuccess);
        EXPECT_EQ(ErrorText(), ""); // a successful call clears an earlier failure's text
        ASSERT_EQ(LaunchBlurVertical(d_mid.get(), d_dst.get(), mid.pitch(), emulated.pitch(), 45, 33,
                                     weights.data(), taps, clamp),
                  cudaSuccess);
        ExpectNear(d_dst, emulated, 1e-6f, clamp ? "clamped blur" : "transparent-edge blur");
    }
}

// A ring and a corner block: the matte distance passes run on the device too.
TEST_F(OnDevice, MatteDistancesAndGlassMatchTheEmulatedDevice)
{
    const int w = 61;
    const int h = 43;
    const BgraFrame src = BgraFrame::FromImage(PatternImage(w, h, 17), 2);
    BgraFrame matte(w, h, 5);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float r = std::hypot(static_cast<float>(x) - 30.0f, static_cast<float>(y) - 20.0f);
            matte.Set(x, y, {(r <= 17.0f && r >= 5.0f) || (x > 40 && y > 25) ? 1.0f : 0.0f, 0, 0, 0});
        }
    }
    TPCudaPrismoraParams p = DefaultPrismoraParams();
    p.src_pitch = src.pitch();
    p.dst_pitch = w;
    p.out_width = p.src_width = p.matte_width = w;
    p.out_height = p.src_height = p.matte_height = h;
    p.matte_pitch = matte.pitch();
    p.matte_mode = p.has_matte = 1;
    p.matte_center_x = 35.0f;
    p.matte_center_y = 23.0f;
    p.matte_size_x = 48.0f;
    p.matte_size_y = 40.0f;
    p.distortion_scale = 0.3f;
    p.edge_range = 1.0f; // the depth view then shows depth / min_side unscaled
    p.chromatic_shift = 4.0f;
    p.chromatic_range = 0.5f;
    const DeviceFrame d_src(src);
    const DeviceFrame d_matte(matte);
    for (int view : {3, 1}) {
        p.debug_view = view;
        BgraFrame emulated(w, h);
        const DeviceFrame d_dst(emulated);
        ASSERT_EQ(
            emulated::LaunchGlassComposite(src.data(), nullptr, nullptr, matte.data(), emulated.data(), &p),
            cudaSuccess);
        ASSERT_EQ(LaunchGlassComposite(d_src.get(), nullptr, nullptr, d_matte.get(), d_dst.get(), &p),
                  cudaSuccess);
        EXPECT_EQ(ErrorText(), "");
        // The depth view carries the smoothed distance plane through to the output.
        ExpectNear(d_dst, emulated, view == 3 ? 1e-5f : 1e-4f,
                   view == 3 ? "matte depth view" : "matte glass");
    }
}

} // namespace
} // namespace prismora
