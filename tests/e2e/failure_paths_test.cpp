// Every way a host callback can fail a frame: the effect returns the host's
// code, checks in what it checked out, and leaves the pre-render record to be
// deleted exactly once (or none at all when pre-render fails).
#include "e2e_fixture.h"

namespace prismora::e2e {
namespace {

constexpr PF_Err kInjected = 7;  // a code the effect never makes itself
constexpr int kValueParams = 21; // parameters pre-render checks out

template <typename Pixel> class FailurePaths : public EffectTest<Pixel> {
protected:
    const World input_ = PatternWorld(48, 32, this->kFormat);
    const World matte_ = EllipseMatte(48, 32, this->kFormat, 24.0f, 16.0f, 12.0f, 8.0f);

    // Full Frame with a visible matte: both layers take part.
    FrameJob MatteFrame()
    {
        FrameJob job = this->NewFrame(input_);
        job.params.SetPopup(kParamGlassMode, 2);
        job.params.SetLayer(kParamAlphaMatte, &matte_);
        return job;
    }

    void ExpectRecords(long records)
    {
        const hostsim::BookTotals t = this->host().books().Totals();
        EXPECT_EQ(t.pre_render_records, records);
        EXPECT_EQ(t.pre_render_deletes, records);
    }
};
TYPED_TEST_SUITE(FailurePaths, PixelTypes);

TYPED_TEST(FailurePaths, EveryCheckoutInPreRenderAndRender)
{
    struct Case {
        std::string callback;
        int nth;
        PF_Cmd failed_command;
        long records;         // pre-render records left with the host
        long pixel_checkouts; // layer worlds the effect got (and must check in)
    };
    std::vector<Case> cases = {{"checkout_layer", 1, PF_Cmd_SMART_PRE_RENDER, 0, 0},    // input
                               {"checkout_layer", 2, PF_Cmd_SMART_PRE_RENDER, 0, 0},    // matte
                               {"checkout_layer_pixels", 1, PF_Cmd_SMART_RENDER, 1, 0}, // input
                               {"checkout_layer_pixels", 2, PF_Cmd_SMART_RENDER, 1, 1}, // matte
                               {"checkout_output", 1, PF_Cmd_SMART_RENDER, 1, 2}};
    for (int nth = 1; nth <= kValueParams; ++nth) {
        cases.push_back({"checkout_param", nth, PF_Cmd_SMART_PRE_RENDER, 0, 0});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.callback + " #" + std::to_string(c.nth));
        this->host().books().Reset();
        this->host().books().FailNthCall(c.callback, c.nth, kInjected);
        const FrameResult frame = this->host().Render(this->MatteFrame());
        EXPECT_EQ(frame.err, kInjected);
        EXPECT_EQ(frame.failed_command, c.failed_command);
        EXPECT_EQ(this->host().books().Calls(c.callback), c.nth) << "no checkout after the failure";
        if (c.callback == "checkout_param") {
            EXPECT_EQ(this->host().books().Calls("checkout_layer"), 0);
        }
        EXPECT_EQ(frame.tiles.at(0).rendered, c.failed_command == PF_Cmd_SMART_RENDER);
        EXPECT_EQ(this->host().books().Totals().layer_pixel_checkouts, c.pixel_checkouts);
        EXPECT_TRUE(SameFrame(frame.output, World(48, 32, this->kFormat))) << "nothing is written";
        this->ExpectRecords(c.records);
        this->ExpectBalancedBooks();
    }
    // The parameter list is complete: one more never fails.
    this->host().books().Reset();
    this->host().books().FailNthCall("checkout_param", kValueParams + 1, kInjected);
    EXPECT_EQ(this->host().Render(this->MatteFrame()).err, PF_Err_NONE);
}

// A host that hands over a null: the command is refused with nothing written,
// what was taken goes back and the record is deleted once.
TYPED_TEST(FailurePaths, NullsFromTheHostAreRefused)
{
    using hostsim::NullInjection;
    constexpr PF_Err kBad = PF_Err_BAD_CALLBACK_PARAM;
    struct Case {
        bool NullInjection::*field;
        RenderPath path;
        PF_Err err;
        long records;
        long pixel_checkouts;
    };
    const Case cases[] = {
        {&NullInjection::in_data, RenderPath::kSmart, kBad, 0, 0},
        {&NullInjection::pre_render_extra, RenderPath::kSmart, kBad, 0, 0},
        {&NullInjection::smart_render_extra, RenderPath::kSmart, kBad, 1, 0},
        {&NullInjection::pre_render_data, RenderPath::kSmart, PF_Err_INTERNAL_STRUCT_DAMAGED, 1, 0},
        {&NullInjection::output_data, RenderPath::kSmart, kBad, 1, 2},
        {&NullInjection::in_data, RenderPath::kLegacy, kBad, 0, 0},
        {&NullInjection::params, RenderPath::kLegacy, kBad, 0, 0},
        {&NullInjection::output, RenderPath::kLegacy, kBad, 0, 0},
        {&NullInjection::output_data, RenderPath::kLegacy, kBad, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        this->host().books().Reset();
        FrameJob job = this->MatteFrame();
        job.path = c.path;
        job.nulls.*(c.field) = true;
        const FrameResult frame = this->host().Render(job);
        EXPECT_EQ(frame.err, c.err);
        EXPECT_EQ(this->host().books().Totals().layer_pixel_checkouts, c.pixel_checkouts);
        EXPECT_TRUE(SameFrame(frame.output, World(48, 32, this->kFormat))) << "nothing is written";
        this->ExpectRecords(c.records);
        this->ExpectBalancedBooks();
    }
}

TYPED_TEST(FailurePaths, AFailedCheckInStillChecksInTheRest)
{
    this->host().books().FailNthCall("checkin_layer_pixels", 1, kInjected);
    const FrameResult frame = this->host().Render(this->MatteFrame());
    EXPECT_EQ(frame.err, kInjected);
    EXPECT_EQ(this->host().books().Calls("checkin_layer_pixels"), 2)
        << "the matte is checked in after the input";
    EXPECT_EQ(this->host().books().Totals().layer_pixel_checkins, 1);
    this->ExpectRecords(1);
}

} // namespace
} // namespace prismora::e2e
