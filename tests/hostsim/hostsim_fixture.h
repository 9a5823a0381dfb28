// A started host on the fake effect, with the fake's state reset.
#pragma once

#include <filesystem>
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "fake_effect_state.h"
#include "hostsim/host.h"
#include "hostsim/host_error.h"

namespace prismora::hostsim::test {

inline std::filesystem::path FakeEffectPath()
{
    return HOSTSIM_FAKE_EFFECT;
}

inline FakeEffectState &StateOf(const Host &host)
{
    auto state = reinterpret_cast<FakeEffectStateFunc>(host.Symbol("FakeEffect_State"));
    if (!state) {
        throw HostError("the fake effect exports no state");
    }
    return *state();
}

inline void ResetFake(const Host &host)
{
    reinterpret_cast<FakeEffectResetFunc>(host.Symbol("FakeEffect_Reset"))();
}

// Pixels from a seeded generator; alpha and colour in 0..1 at every depth.
inline World NoiseWorld(A_long width, A_long height, PixelFormat format, unsigned seed,
                        WorldLayout layout = {})
{
    World w(width, height, format, layout);
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            w.Set(x, y, {unit(gen), unit(gen), unit(gen), unit(gen)});
        }
    }
    return w;
}

class FakeHostTest : public ::testing::Test {
protected:
    void SetUp() override { MakeHost({}); }

    void MakeHost(HostOptions options)
    {
        host_ = std::make_unique<Host>(FakeEffectPath(), options);
        ResetFake(*host_);
        host_->Start();
    }

    Host &host() { return *host_; }
    FakeEffectState &state() { return StateOf(*host_); }

    void ExpectBalancedBooks()
    {
        const std::vector<std::string> imbalances = host_->books().Imbalances();
        EXPECT_TRUE(imbalances.empty()) << ::testing::PrintToString(imbalances);
    }

    std::unique_ptr<Host> host_;
};

} // namespace prismora::hostsim::test
