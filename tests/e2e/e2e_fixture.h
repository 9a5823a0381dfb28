// End-to-end tests: the built T_Prismora loaded by the simulated host, at every
// depth. The reference for a frame is the library's plain render (every pixel
// through the shader, whole-frame blurs) of the worlds the host handed the effect.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cpu/cpu_render.h"
#include "hostsim/host.h"
#include "model/effect_settings.h"
#include "model/float_image.h"
#include "model/param_index.h"
#include "support/hostsim_worlds.h"

namespace prismora::e2e {

using hostsim::FloatArgb;
using hostsim::FrameJob;
using hostsim::FrameResult;
using hostsim::Host;
using hostsim::ParamSet;
using hostsim::PixelFormat;
using hostsim::RenderPath;
using hostsim::World;
using prismora::test::EllipseMatte;
using prismora::test::MaxDifference;
using prismora::test::RandomParams;

template <typename Pixel> struct Depth {
    static constexpr int kBits = sizeof(Pixel) == 4 ? 8 : (sizeof(Pixel) == 8 ? 16 : 32);
    static constexpr double kUnit = kBits == 8 ? 255.0 : (kBits == 16 ? 32768.0 : 1.0); // one code
};

using PixelTypes = ::testing::Types<PF_Pixel8, PF_Pixel16, PF_PixelFloat>;

// A structured layer: ramps, a checkerboard, diagonal stripes and a partly
// transparent band, so refraction, blur and fringes all move visible detail.
// Float layers also carry over-bright and negative colour and alpha above 1,
// which only 32 bits keeps (and its store clamps, but for over-bright colour).
inline World PatternWorld(A_long width, A_long height, PixelFormat format)
{
    World w(width, height, format);
    const bool float_layer = format == PixelFormat::kArgb128;
    const float over = float_layer ? 1.5f : 1.0f;
    const float under = float_layer ? -0.2f : 0.1f;
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / static_cast<float>(width);
            const float v = static_cast<float>(y) / static_cast<float>(height);
            const bool check = ((x / 8) + (y / 8)) % 2 == 0;
            const bool stripe = ((x + 2 * y) / 5) % 3 == 0;
            const float alpha = y > height * 3 / 4 ? 0.5f + 0.5f * u : (y < height / 8 ? over : 1.0f);
            w.Set(x, y, {alpha, u, stripe ? 0.9f : 0.25f * v, check ? over : under});
        }
    }
    return w;
}

// The layer as the effect stores it unchanged: float alpha at most 1 and
// colour at least 0; other depths as they are.
inline World Stored(const World &layer)
{
    World out = layer.Clone();
    for (A_long y = 0; layer.format() == PixelFormat::kArgb128 && y < layer.height(); ++y) {
        for (A_long x = 0; x < layer.width(); ++x) {
            const FloatArgb p = layer.Get(x, y);
            const FloatPixel c = ClampPixelFloat({p.alpha, p.red, p.green, p.blue});
            out.Set(x, y, {c.alpha, c.red, c.green, c.blue});
        }
    }
    return out;
}

// The settings the effect resolves from these values on this layer.
inline EffectSettings SettingsFor(const ParamSet &params, const World &layer)
{
    const ParamSet values = params.ResolvedFor(layer.width(), layer.height());
    std::vector<PF_ParamDef> records(kParamCount);
    std::vector<PF_ParamDef *> table(kParamCount, nullptr);
    for (PF_ParamIndex i = 0; i < values.size() && i < kParamCount; ++i) {
        records[i] = values.ValueRecord(i);
        table[i] = &records[i];
    }
    return ReadEffectSettings(table.data());
}

// The reference for a frame rendered as one request (no matte): the plain
// render of the input exactly as the host delivered it to the effect.
template <typename Pixel> World ReferenceFor(const FrameJob &job, const FrameResult &frame)
{
    EXPECT_EQ(frame.tiles.size(), 1u);
    const hostsim::TileReport &tile = frame.tiles.at(0);
    EXPECT_FALSE(tile.checkouts.contains(1));
    const World input = job.input->Crop(tile.checkouts.at(0).delivered);
    const PF_LRect &rect = tile.rect;
    World out(rect.right - rect.left, rect.bottom - rect.top, hostsim::FormatForDepth(Depth<Pixel>::kBits),
              {0, rect.left, rect.top});
    EXPECT_EQ(PlainRender<Pixel>(&input.pf(), &out.pf(), SettingsFor(job.params, *job.input), nullptr),
              PF_Err_NONE);
    return out;
}

// Equal pixel bytes; otherwise the largest difference.
inline ::testing::AssertionResult SameFrame(const World &actual, const World &expected)
{
    if (actual.format() != expected.format() || actual.width() != expected.width() ||
        actual.height() != expected.height()) {
        return ::testing::AssertionFailure() << "frames differ in format or size";
    }
    if (actual.SamePixels(expected)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "frames differ by up to " << MaxDifference(actual, expected);
}

inline std::unique_ptr<Host> StartedHost(const char *library, const hostsim::HostOptions &options)
{
    auto host = std::make_unique<Host>(library, options);
    host->Start();
    return host;
}

// One loaded and started T_Prismora for the whole test program; its worlds'
// rows are padded and run upwards in memory, so an effect that assumes packed
// or top-down rows shows it (the emulated host's rows run downwards).
inline Host &SharedHost()
{
    static const auto host =
        StartedHost(PRISMORA_E2E_PLUGIN, {.row_padding_bytes = 24, .bottom_up_rows = true});
    return *host;
}

// The build with the emulated device on the host's emulated device, so that
// GPU frames run everywhere; one thread, so that every frame makes the same
// host calls in the same order.
inline Host &EmulatedHost()
{
    static const auto host =
        StartedHost(PRISMORA_E2E_EMULATED_PLUGIN, {.row_padding_bytes = 8,
                                                   .gpu_device = hostsim::GpuDeviceChoice::kEmulated,
                                                   .gpu_row_padding_pixels = 2,
                                                   .threads = 1});
    return *host;
}

template <typename Pixel> class EffectTest : public ::testing::Test {
protected:
    static constexpr int kBits = Depth<Pixel>::kBits;
    static inline const PixelFormat kFormat = hostsim::FormatForDepth(kBits);

    void SetUp() override { host().books().Reset(); }

    Host &host() { return SharedHost(); }

    FrameJob NewFrame(const World &input) { return host().NewFrame(input, kBits); }

    // A panel that fits in a small frame, so both sides of its rim are seen.
    static void SmallPanel(FrameJob &job, double width, double height)
    {
        job.params.SetFloat(kParamGlassWidth, width);
        job.params.SetFloat(kParamGlassHeight, height);
        job.params.SetFloat(kParamCornerRadius, 12.0);
    }

    void ExpectBalancedBooks() { EXPECT_EQ(host().books().Imbalances(), std::vector<std::string>{}); }
};

} // namespace prismora::e2e
