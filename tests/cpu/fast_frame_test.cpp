// The frame as the host runs it (regions, pass-through, threads) against the
// plain reading, bit for bit, over random frames.
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "AE_EffectSuites.h"
#include "cpu/cpu_render.h"
#include "cpu/gaussian_blur.h"
#include "cpu/matte_field_builder.h"
#include "cpu/window_blur.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::TestWorld;
using test::WorldLayout;

// A host whose generic iterator runs the calls on kThreads threads, indices
// dealt out backwards, so that any dependence on order or split shows.
int g_threads = 1;

PF_Err IterateGeneric(A_long iterations, void *refcon, PF_Err (*fn)(void *, A_long, A_long, A_long))
{
    std::atomic<PF_Err> first{PF_Err_NONE};
    std::vector<std::jthread> pool;
    for (int t = 0; t < g_threads; ++t) {
        pool.emplace_back([&, t] {
            for (A_long i = iterations - 1 - t; i >= 0; i -= g_threads) {
                const PF_Err err = fn(refcon, t, i, iterations);
                PF_Err none = PF_Err_NONE;
                if (err != PF_Err_NONE) {
                    first.compare_exchange_strong(none, err);
                }
            }
        });
    }
    pool.clear();
    return first.load();
}

const PF_Iterate8Suite2 kIterateSuite{nullptr, nullptr, nullptr, nullptr, IterateGeneric};

// In-data whose basic suite hands out the iterate suite above and nothing else.
struct FakeHost {
    FakeHost()
    {
        basic.AcquireSuite = [](const char *name, int32, const void **suite) -> SPErr {
            const bool iterate = std::strcmp(name, kPFIterate8Suite) == 0;
            *suite = iterate ? &kIterateSuite : nullptr;
            return iterate ? kSPNoError : 13;
        };
        basic.ReleaseSuite = [](const char *, int32) -> SPErr { return kSPNoError; };
        in_data.pica_basicP = &basic;
    }
    FakeHost(const FakeHost &) = delete;
    SPBasicSuite basic{};
    PF_InData in_data{};
};

struct Rng {
    std::mt19937 engine{20261207};
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine); }
    float Float(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(engine); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    template <typename T, size_t N> T Pick(const T (&values)[N]) { return values[Int(0, N - 1)]; }
};

WorldLayout RandomLayout(Rng &rng)
{
    return {4 * rng.Int(0, 3), rng.Int(-12, 12), rng.Int(-12, 12), rng.Chance(40)};
}

// Every channel value a depth can hold; floats out of range and non-finite too.
template <typename Pixel> void FillRandom(TestWorld<Pixel> &world, Rng &rng, int transparent_percent)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    const float specials[] = {-0.0f, 0.0f, 1.0f, -0.25f, 1.75f, inf, -inf, std::nanf("")};
    for (A_long y = 0; y < world.height(); ++y) {
        for (A_long x = 0; x < world.width(); ++x) {
            Pixel &p = world.At(x, y);
            for (auto *c : {&p.alpha, &p.red, &p.green, &p.blue}) {
                if constexpr (sizeof(Pixel) == 16) {
                    *c = rng.Chance(8) ? rng.Pick(specials) : rng.Float(-0.1f, 1.2f);
                } else {
                    *c = static_cast<decltype(p.alpha)>(rng.Int(0, sizeof(Pixel) == 4 ? 255 : 65535));
                }
            }
            if (rng.Chance(transparent_percent)) {
                p.alpha = 0;
            }
        }
    }
}

EffectSettings RandomSettings(Rng &rng, A_long width, A_long height)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    EffectSettings s;
    s.quality = rng.Int(1, 3);
    s.glass_mode = rng.Chance(5) ? 3 : rng.Int(1, 2);
    s.debug_view = rng.Chance(50) ? 1 : rng.Int(2, 5);
    s.clamp_edges = rng.Chance(50);
    const float blurs[] = {0.0f, 0.005f, 0.01f, 0.015f, 0.02f, 0.025f, 0.03f, 0.035f};
    s.blur_intensity = rng.Chance(50) ? rng.Pick(blurs) : rng.Float(0.0f, 100.0f);
    s.center_x = rng.Float(-10.0f, static_cast<float>(width) + 10.0f);
    s.center_y = rng.Float(-10.0f, static_cast<float>(height) + 10.0f);
    s.glass_width = rng.Float(-20.0f, static_cast<float>(width) * 0.6f);
    s.glass_height = rng.Float(-20.0f, static_cast<float>(height) * 0.6f);
    s.corner_radius = rng.Float(0.0f, 12.0f);
    s.distortion_scale = rng.Chance(10) ? 1000.0f : rng.Float(-0.2f, rng.Chance(30) ? 12.0f : 1.5f);
    s.chromatic_shift = rng.Chance(10) ? -500.0f : rng.Float(0.0f, 12.0f);
    s.chromatic_range = rng.Float(0.0f, 1.0f);
    s.edge_range = rng.Float(0.0f, 1.0f);
    s.amount = rng.Chance(10) ? 0.0f : rng.Float(0.0f, 1.0f);
    s.opacity = rng.Float(0.0f, 1.0f);
    s.color_amount = rng.Float(0.0f, 1.0f);
    s.tint_multiplier = rng.Float(0.5f, 1.5f);
    // A panel bending its reads far beyond itself, onto the layer's edges.
    if (width > 100) {
        s.glass_width = rng.Float(50.0f, 90.0f);
        s.glass_height = rng.Float(50.0f, 90.0f);
        s.center_x = rng.Float(40.0f, 80.0f);
        s.glass_mode = 1;
        s.amount = rng.Float(0.5f, 1.0f);
        s.distortion_scale = rng.Float(2.0f, 12.0f);
        s.blur_intensity = rng.Float(1.0f, 40.0f);
        s.debug_view = 1;
    }
    // A centre on a pixel: there the direction borrows the shape's normal.
    if (rng.Chance(15)) {
        s.center_x = std::round(s.center_x);
        s.center_y = std::round(s.center_y);
    }
    // Settings no bound can be drawn from.
    if (rng.Chance(8)) {
        float *targets[] = {&s.center_x,        &s.glass_width, &s.corner_radius, &s.distortion_scale,
                            &s.chromatic_shift, &s.amount,      &s.blur_intensity};
        const float values[] = {std::nanf(""), inf, -inf, 3.0e38f};
        *rng.Pick(targets) = rng.Pick(values);
    }
    return s;
}

template <typename Pixel> bool SameBytes(const TestWorld<Pixel> &a, const TestWorld<Pixel> &b)
{
    // Pixels and the row padding after them.
    const size_t row = static_cast<size_t>(std::abs(a.world().rowbytes));
    for (A_long y = 0; y < a.height(); ++y) {
        if (std::memcmp(&a.At(0, y), &b.At(0, y), row) != 0) {
            return false;
        }
    }
    return true;
}

template <typename Pixel> class FastFrameTest : public testing::Test {
};
TYPED_TEST_SUITE(FastFrameTest, test::PixelTypes);

TYPED_TEST(FastFrameTest, EqualsThePlainFrameBitForBit)
{
    using Pixel = TypeParam;
    Rng rng;
    const FakeHost host;
    const PF_InData &in_data = host.in_data;
    int shaded_cases = 0;

    for (int round = 0; round < 120; ++round) {
        const bool wide = rng.Chance(10);
        // Now and then the layer lies where a float no longer holds every whole position.
        const A_long far =
            rng.Chance(10) ? rng.Pick({A_long{1} << 24, -(A_long{1} << 24) - 3, (A_long{1} << 25) + 1}) : 0;
        WorldLayout in_layout = RandomLayout(rng);
        in_layout.origin_x += far;
        TestWorld<Pixel> input(wide ? rng.Int(180, 240) : rng.Int(1, 72), rng.Int(1, 56), in_layout);
        FillRandom(input, rng, 0);
        // The request: inside, around or beside the layer, any size.
        WorldLayout out_layout = RandomLayout(rng);
        out_layout.origin_x += far;
        const A_long out_w = wide ? 100 : rng.Int(1, 80);
        const A_long out_h = rng.Int(1, 64);
        const EffectSettings settings = RandomSettings(rng, input.width(), input.height());

        TestWorld<Pixel> matte_world(rng.Int(1, 40), rng.Int(1, 32), RandomLayout(rng));
        FillRandom(matte_world, rng, 60);
        MatteField field;
        const bool with_matte = rng.Chance(80) && BuildMatteField<Pixel>(matte_world.world(), field);
        const MatteField *matte = with_matte ? &field : nullptr;

        // A kernel too long to allocate fails both frames alike.
        const auto outcome = [](const auto &render) -> PF_Err {
            try {
                return render();
            } catch (const std::length_error &) {
                return PF_Err_OUT_OF_MEMORY;
            }
        };
        TestWorld<Pixel> expected(out_w, out_h, out_layout);
        const PF_Err plain_err =
            outcome([&] { return PlainRender<Pixel>(&input.world(), &expected.world(), settings, matte); });
        for (const int threads : {1, 2, 7}) {
            SCOPED_TRACE(testing::Message() << "round " << round << ", " << threads << " threads");
            g_threads = threads;
            const HostThreads host_threads(&in_data);
            TestWorld<Pixel> got(out_w, out_h, out_layout);
            ASSERT_EQ(outcome([&] {
                          return LegacyRender<Pixel>(&input.world(), &got.world(), settings, matte,
                                                     &host_threads);
                      }),
                      plain_err);
            ASSERT_TRUE(SameBytes(got, expected));
        }
        shaded_cases += std::memcmp(&expected.At(0, 0), &input.At(0, 0), sizeof(Pixel)) != 0 ? 1 : 0;
    }
    EXPECT_GT(shaded_cases, 20); // the glass really changed many of the frames
}

// Same bits, except that any NaN equals any NaN: which NaN a sum of two NaNs
// gives depends on the order the compiler puts the operands in. The shader
// turns a blurred NaN into 0 (colour is clamped), so no output shows it.
bool SameValues(const FloatPixel &a, const FloatPixel &b)
{
    const float x[] = {a.alpha, a.red, a.green, a.blue};
    const float y[] = {b.alpha, b.red, b.green, b.blue};
    for (int c = 0; c < 4; ++c) {
        if (!(std::isnan(x[c]) && std::isnan(y[c])) && std::memcmp(&x[c], &y[c], sizeof(float)) != 0) {
            return false;
        }
    }
    return true;
}

// Every value of a window is the whole-frame blur's, up to its edges (the
// frame test cannot see a window's edges: the shader never reads that far).
TYPED_TEST(FastFrameTest, BlurWindowEqualsTheWholeFrameBlur)
{
    using Pixel = TypeParam;
    Rng rng;
    const FakeHost host;
    const PF_InData &in_data = host.in_data;
    g_threads = 7;
    const HostThreads threads(&in_data);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        TestWorld<Pixel> world(rng.Int(1, 40), rng.Int(1, 30), RandomLayout(rng));
        FillRandom(world, rng, 10);
        const A_long left = rng.Int(0, world.width() - 1);
        const A_long top = rng.Int(0, world.height() - 1);
        const PF_LRect rect{left, top, rng.Int(left + 1, world.width()), rng.Int(top + 1, world.height())};
        const bool clamp = rng.Chance(50);
        const float strengths[] = {rng.Float(0.002f, 3.0f), rng.Float(3.0f, 40.0f)};
        const int quality = rng.Int(1, 3);
        std::vector<std::vector<float>> kernels;
        for (const float s : strengths) {
            kernels.push_back(GaussianKernel(s, quality));
        }
        std::vector<BlurWindow> windows;
        ASSERT_EQ(BlurWorldWindow<Pixel>(world.world(), rect, clamp, kernels, threads, windows), PF_Err_NONE);
        for (size_t k = 0; k < kernels.size(); ++k) {
            const FloatImage whole =
                GaussianBlur(ToFloatImage<Pixel>(world.world()), strengths[k], quality, clamp);
            for (A_long y = rect.top; y < rect.bottom; ++y) {
                for (A_long x = rect.left; x < rect.right; ++x) {
                    const size_t at =
                        static_cast<size_t>(y - rect.top) * static_cast<size_t>(windows[k].columns()) +
                        static_cast<size_t>(x - rect.left);
                    const float *held = &windows[k].colour[at * BlurWindow::kChannels];
                    const FloatPixel expected = FetchPixel(whole, x, y, false);
                    ASSERT_TRUE(SameValues(FloatPixel{expected.alpha, held[0], held[1], held[2]}, expected))
                        << x << "," << y;
                }
            }
        }
    }
}

} // namespace
} // namespace prismora
