// Frame patterns and --frames lists as a user writes them, what they refuse,
// and the frames found on disk; the default frames in flight.
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "cli/cli_error.h"
#include "cli/frame_pattern.h"
#include "cli/frames_in_flight.h"
#include "test_files.h"

namespace prismora::cli {
namespace {

TEST(FramePattern, PlaceholdersPadAsTheirConventionsSay)
{
    struct Case {
        const char *pattern;
        int frame;
        const char *name; // nullptr: no frame number in the name
    };
    const Case cases[] = {
        {"in.####.png", 7, "in.0007.png"},
        {"in.#.png", 7, "in.0007.png"},
        {"in.@@@.png", 7, "in.007.png"},
        {"in.@.png", 12, "in.12.png"},
        {"in.%04d.png", 7, "in.0007.png"},
        {"in_%d.exr", 7, "in_7.exr"},
        {"in.##.png", 12345, "in.12345.png"},
        {"shots/a#b/x.####.tif", 0, "shots/a#b/x.0000.tif"},
        {"in.png", 7, nullptr},
        {"in%.png", 7, nullptr},
        {"in.%4d.png", 7, nullptr},
        {"100%.png", 7, nullptr},
    };
    for (const Case &c : cases) {
        const std::optional<FramePattern> pattern = FramePattern::Find(c.pattern);
        ASSERT_EQ(pattern.has_value(), c.name != nullptr) << c.pattern;
        if (pattern) {
            EXPECT_EQ(pattern->For(c.frame), std::filesystem::path(c.name)) << c.pattern;
        }
    }
    EXPECT_THROW(FramePattern::Find("in.####.@@.png"), UsageError);
    EXPECT_THROW(FramePattern::Find("in.%04d_#.png"), UsageError);
}

TEST(FramePattern, FrameListsParseAscendingOnceAndRefuseMistakes)
{
    EXPECT_EQ(ParseFrameList("1-5"), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(ParseFrameList("1-9x3"), (std::vector<int>{1, 4, 7}));
    EXPECT_EQ(ParseFrameList("9-12,1,5,10"), (std::vector<int>{1, 5, 9, 10, 11, 12}));
    EXPECT_EQ(ParseFrameList("0"), (std::vector<int>{0}));
    EXPECT_EQ(ParseFrameList("1-240x2").size(), 120u);
    for (const char *bad : {"", "5-1", "1-", "-3", "a", "1-5x0", "1-5x", "1,,2", "1,", "1-5-7", "1 -5", "2x3",
                            "1-2147483647", "0-9999999999"}) {
        EXPECT_THROW(ParseFrameList(bad), UsageError) << bad;
    }
}

TEST(FramePattern, FramesOnDiskAreThoseThePatternWouldName)
{
    test::ScratchDir dir;
    for (const char *name : {"in.0001.png", "in.0003.png", "in.12345.png", "in.0002.exr", "in.002.png",
                             "in.00004.png", "in.abcd.png", "xin.0005.png", "in.0006.png.tmp"}) {
        std::ofstream(dir / name) << "x";
    }
    std::filesystem::create_directory(dir / "in.0007.png");
    EXPECT_EQ(FramePattern::Find(dir / "in.####.png")->FramesOnDisk(), (std::vector<int>{1, 3, 12345}));
    EXPECT_EQ(FramePattern::Find(dir / "in.@@@.png")->FramesOnDisk(), (std::vector<int>{2, 12345}));
    EXPECT_TRUE(FramePattern::Find(dir / "none.####.png")->FramesOnDisk().empty());
    EXPECT_TRUE(FramePattern::Find(dir / "missing" / "in.####.png")->FramesOnDisk().empty());
}

TEST(FramesInFlight, OnePerThreadUnlessMemoryRunsShort)
{
    const uint64_t frame = FrameMemoryEstimate(1920, 1080, 8);
    EXPECT_EQ(FrameMemoryEstimate(1920, 1080, 32), frame * 4);
    EXPECT_EQ(DefaultFramesInFlight(8, frame, std::nullopt), 8);
    EXPECT_EQ(DefaultFramesInFlight(8, frame, frame * 100), 8);
    EXPECT_EQ(DefaultFramesInFlight(8, frame, frame * 4), 3); // three quarters of it
    EXPECT_EQ(DefaultFramesInFlight(8, frame, frame / 2), 1);
    EXPECT_EQ(DefaultFramesInFlight(0, frame, std::nullopt), 1);
    EXPECT_TRUE(AvailableMemory().has_value());
}

} // namespace
} // namespace prismora::cli
