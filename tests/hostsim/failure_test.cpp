// Failure injection and null pointers: the code comes back unchanged, and the
// host still deletes the pre-render record once and the books balance.
#include <gtest/gtest.h>

#include "hostsim_fixture.h"

namespace prismora::hostsim::test {
namespace {

using Failures = FakeHostTest;

TEST_F(Failures, AFailingCallbackReturnsItsCodeThroughTheFrame)
{
    const World input = NoiseWorld(8, 8, PixelFormat::kArgb32, 11);
    struct Case {
        const char *callback;
        int nth;
        PF_Cmd failed_command;
        int deletes; // a failed pre-render leaves no record
    };
    const Case cases[] = {{"checkout_param", 1, PF_Cmd_SMART_PRE_RENDER, 0},
                          {"checkout_param", 4, PF_Cmd_SMART_PRE_RENDER, 0},
                          {"checkout_layer", 1, PF_Cmd_SMART_PRE_RENDER, 0},
                          {"checkout_layer_pixels", 1, PF_Cmd_SMART_RENDER, 1},
                          {"checkout_output", 1, PF_Cmd_SMART_RENDER, 1},
                          {"AcquireSuite", 1, PF_Cmd_SMART_RENDER, 1},
                          {"PF_GetPixelFormat", 1, PF_Cmd_SMART_RENDER, 1},
                          {"checkin_layer_pixels", 1, PF_Cmd_SMART_RENDER, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.callback);
        host().books().Reset();
        ResetFake(host());
        host().books().FailNthCall(c.callback, c.nth, 7);
        const FrameResult frame = host().Render(host().NewFrame(input, 8));
        EXPECT_EQ(frame.err, 7);
        EXPECT_EQ(frame.failed_command, c.failed_command);
        EXPECT_EQ(state().deletes, c.deletes);
        EXPECT_EQ(host().books().Calls(c.callback), c.nth);
        if (std::string(c.callback) != "checkin_layer_pixels") {
            ExpectBalancedBooks();
        }
    }
}

TEST_F(Failures, OnlyTheNthCallFails)
{
    const World input = NoiseWorld(8, 8, PixelFormat::kArgb32, 12);
    host().books().FailNthCall("checkout_output", 2, 9);
    EXPECT_EQ(host().Render(host().NewFrame(input, 8)).err, PF_Err_NONE);
    EXPECT_EQ(host().Render(host().NewFrame(input, 8)).err, 9);
    EXPECT_EQ(host().Render(host().NewFrame(input, 8)).err, PF_Err_NONE);
}

TEST_F(Failures, NullPointersReachTheEffectWhereAsked)
{
    const World input = NoiseWorld(8, 8, PixelFormat::kArgb32, 13);
    struct Case {
        bool NullInjection::*field;
        RenderPath path;
        PF_Err expected;
        int deletes;
    };
    const Case cases[] = {
        {&NullInjection::in_data, RenderPath::kSmart, PF_Err_BAD_CALLBACK_PARAM, 0},
        {&NullInjection::pre_render_extra, RenderPath::kSmart, PF_Err_BAD_CALLBACK_PARAM, 0},
        {&NullInjection::smart_render_extra, RenderPath::kSmart, PF_Err_BAD_CALLBACK_PARAM, 1},
        {&NullInjection::pre_render_data, RenderPath::kSmart, PF_Err_INTERNAL_STRUCT_DAMAGED, 1},
        {&NullInjection::output_data, RenderPath::kSmart, PF_Err_BAD_CALLBACK_PARAM, 1},
        {&NullInjection::params, RenderPath::kLegacy, PF_Err_BAD_CALLBACK_PARAM, 0},
        {&NullInjection::output, RenderPath::kLegacy, PF_Err_BAD_CALLBACK_PARAM, 0},
        {&NullInjection::output_data, RenderPath::kLegacy, PF_Err_BAD_CALLBACK_PARAM, 0}};
    for (const Case &c : cases) {
        host().books().Reset();
        ResetFake(host());
        FrameJob job = host().NewFrame(input, 8);
        job.path = c.path;
        job.nulls.*(c.field) = true;
        const FrameResult frame = host().Render(job);
        EXPECT_EQ(frame.err, c.expected);
        EXPECT_EQ(state().deletes, c.deletes);
        EXPECT_EQ(frame.output.width(), 8);
        ExpectBalancedBooks();
    }
}

TEST_F(Failures, AnInputCheckoutWithoutAWorldLeavesTheOutputClear)
{
    const World input = NoiseWorld(5, 5, PixelFormat::kArgb32, 14);
    FrameJob job = host().NewFrame(input, 8);
    job.nulls.input_pixels = true;
    const FrameResult frame = host().Render(job);
    EXPECT_EQ(frame.err, PF_Err_NONE);
    EXPECT_TRUE(state().input_was_null);
    EXPECT_TRUE(frame.output.SamePixels(World(5, 5, PixelFormat::kArgb32)));
    ExpectBalancedBooks();
}

} // namespace
} // namespace prismora::hostsim::test
