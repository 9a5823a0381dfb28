#include <gtest/gtest.h>

#include "hostsim/host_error.h"
#include "hostsim_fixture.h"

namespace prismora::hostsim::test {
namespace {

using ParamsTest = FakeHostTest;

TEST_F(ParamsTest, KeepsTheDeclaredParametersAfterTheInputLayer)
{
    const ParamSet &p = host().params();
    ASSERT_EQ(p.size(), kFakeParamCount);
    EXPECT_EQ(p.type(0), PF_Param_LAYER);
    EXPECT_EQ(p.name(kFakeGain), "Gain");
    EXPECT_EQ(p.def(kFakeGain).u.fs_d.value, 100.0);
    EXPECT_EQ(p.Find("Mode"), kFakeMode);
    EXPECT_EQ(p.Find("Matte"), kFakeMatte);
    EXPECT_FALSE(p.Find("mode").has_value());
    // The fake scribbles over its choice buffer after adding the popup.
    EXPECT_EQ(p.choices(kFakeMode), (std::vector<std::string>{"Copy", "Shift"}));
    EXPECT_STREQ(p.def(kFakeInvert).u.bd.u.nameptr, "Flip");
    EXPECT_EQ(p.layer(kFakeMatte), nullptr);
}

TEST_F(ParamsTest, SettersCheckTheParameterType)
{
    ParamSet p = host().params();
    EXPECT_THROW(p.SetFloat(kFakeMode, 1.0), HostError);
    EXPECT_THROW(p.SetPopup(kFakeMode, 3), HostError);
    EXPECT_THROW(p.SetPopup(kFakeMode, 0), HostError);
    EXPECT_THROW(p.SetLayer(kFakeGain, nullptr), HostError);
    EXPECT_THROW(p.def(kFakeParamCount), HostError);
    p.SetPopup(kFakeMode, 2);
    p.SetColor(kFakeTint, {255, 10, 20, 30});
    p.SetCheckbox(kFakeInvert, true);
    EXPECT_EQ(p.def(kFakeMode).u.pd.value, 2);
    EXPECT_EQ(p.def(kFakeTint).u.cd.value.green, 20);
    EXPECT_EQ(p.def(kFakeInvert).u.bd.value, 1);
    EXPECT_EQ(host().params().def(kFakeMode).u.pd.value, 1) << "a copy leaves the declared defaults alone";
}

TEST_F(ParamsTest, PointDefaultIsAPercentageOfTheLayerUntilSet)
{
    const World odd(101, 40, PixelFormat::kArgb32);
    FrameJob job = host().NewFrame(odd, 8);
    ASSERT_EQ(host().Render(job).err, PF_Err_NONE);
    EXPECT_EQ(state().spot_x, static_cast<PF_Fixed>(50.5 * 65536));
    EXPECT_EQ(state().spot_y, 20 << 16);

    job.params.SetPoint(kFakeSpot, 7 << 16, -(3 << 16));
    ASSERT_EQ(host().Render(job).err, PF_Err_NONE);
    EXPECT_EQ(state().spot_x, 7 << 16);
    EXPECT_EQ(state().spot_y, -(3 << 16));
}

TEST(ParamsSetup, AFailedAddParamKeepsWhatWasAddedAndReturnsTheCode)
{
    Host host(FakeEffectPath());
    ResetFake(host);
    ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
    host.books().FailNthCall("add_param", 3, 77);
    EXPECT_EQ(host.ParamsSetup(), 77);
    EXPECT_EQ(host.params().size(), 3); // the input layer, Gain, Mode
}

} // namespace
} // namespace prismora::hostsim::test
