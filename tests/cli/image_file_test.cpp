// Image files in and out: exact values at each depth, channel layouts, depth
// changes on reading, and nothing left behind when writing fails.
#include <array>
#include <fstream>

#include <gtest/gtest.h>

#include "cli/cli_error.h"
#include "cli/image_file.h"
#include "test_files.h"

namespace prismora::cli {
namespace {

using test::ScratchDir;

// Every value of the depth appears somewhere, with alpha never equal to 0 or
// white alone, so any premultiplication on the way would show.
HostImage Ramp(int depth)
{
    HostImage image(64, 9, depth);
    for (int32_t y = 0; y < image.height(); ++y) {
        for (int32_t x = 0; x < image.width(); ++x) {
            const int i = y * image.width() + x;
            if (depth == 8) {
                image.at<PF_Pixel8>(x, y) = {
                    static_cast<A_u_char>(1 + i % 250), static_cast<A_u_char>(i % 256),
                    static_cast<A_u_char>((i * 7) % 256), static_cast<A_u_char>(255 - i % 256)};
            } else if (depth == 16) {
                const auto v = [](int n) { return static_cast<A_u_short>(n % 32769); };
                image.at<PF_Pixel16>(x, y) = {v(100 + i * 57), v(i * 61), v(i * 523 + 3), v(65536 - i * 59)};
            } else {
                image.at<PF_PixelFloat>(x, y) = {0.25f + i / 1024.0f, i / 300.0f, -0.5f + i * 0.01f, 3.0f};
            }
        }
    }
    return image;
}

TEST(ImageFile, ValuesComeBackExactlyAtEachDepth)
{
    ScratchDir dir;
    for (const auto &[file, depth] : std::vector<std::pair<std::string, int>>{
             {"a.png", 8}, {"a16.png", 16}, {"a.tif", 8}, {"a16.tif", 16}, {"a32.tif", 32}, {"a.exr", 32}}) {
        const HostImage image = Ramp(depth);
        WriteImageFile(dir / file, image);
        const LoadedImage loaded = ReadImageFile(dir / file);
        EXPECT_EQ(loaded.file_depth, depth) << file;
        EXPECT_TRUE(loaded.image == image) << file;
        std::filesystem::remove(dir / file);
        EXPECT_TRUE(dir.files().empty()) << file << ": no temporary file remains";
    }
}

template <typename P> std::array<int, 4> ARGB(const P &p)
{
    return {p.alpha, p.red, p.green, p.blue};
}

// Grey and alpha-less files become opaque; half files read as float; depth
// changes on reading go through 0..1 and round half up.
TEST(ReadImageFile, ChannelLayoutsAndDepthChanges)
{
    ScratchDir dir;
    test::WriteRaw<uint8_t>(dir / "grey.png", 2, 1, 1, {10, 200});
    EXPECT_EQ(ARGB(ReadImageFile(dir / "grey.png").image.at<PF_Pixel8>(1, 0)),
              (std::array<int, 4>{255, 200, 200, 200}));
    test::WriteRaw<uint16_t>(dir / "rgb.png", 1, 1, 3, {65535, 1, 30000});
    EXPECT_EQ(ARGB(ReadImageFile(dir / "rgb.png").image.at<PF_Pixel16>(0, 0)),
              (std::array<int, 4>{32768, 32768, 1, FileToHost16(30000)}));
    test::WriteRaw<uint8_t>(dir / "ga.png", 1, 1, 2, {90, 40});
    EXPECT_EQ(ARGB(ReadImageFile(dir / "ga.png").image.at<PF_Pixel8>(0, 0)),
              (std::array<int, 4>{40, 90, 90, 90}));

    test::WriteRaw<float>(dir / "h.exr", 1, 1, 4, {0.25f, 2.0f, -1.0f, 0.5f}, OIIO::TypeDesc::HALF);
    const LoadedImage as_is = ReadImageFile(dir / "h.exr");
    EXPECT_EQ(as_is.file_depth, 32);
    EXPECT_EQ(as_is.image.at<PF_PixelFloat>(0, 0).red, 0.25f);
    EXPECT_EQ(as_is.image.at<PF_PixelFloat>(0, 0).green, 2.0f); // no clamp at float
    const HostImage eight = ReadImageFile(dir / "h.exr", 8).image;
    EXPECT_EQ(eight.depth(), 8);
    EXPECT_EQ(ARGB(eight.at<PF_Pixel8>(0, 0)), (std::array<int, 4>{128, 64, 255, 0}));
    test::WriteRaw<uint16_t>(dir / "w.png", 1, 1, 4, {65535, 32768, 0, 65535});
    // 32768 / 65535 * 255 = 127.5019...
    EXPECT_EQ(ARGB(ReadImageFile(dir / "w.png", 8).image.at<PF_Pixel8>(0, 0)),
              (std::array<int, 4>{255, 255, 128, 0}));
}

// Write failures not already in the command line's table; an existing file is replaced whole.
TEST(WriteImageFile, FailuresLeaveNoFileBehind)
{
    ScratchDir dir;
    const HostImage image = Ramp(8);
    std::filesystem::create_directory(dir / "taken.png");
    EXPECT_THROW(WriteImageFile(dir / "taken.png", image), UsageError);
    // Formats that would change the samples or drop alpha.
    EXPECT_THROW(WriteImageFile(dir / "float.png", Ramp(32)), UsageError);
    EXPECT_THROW(WriteImageFile(dir / "deep.bmp", Ramp(16)), UsageError);
    EXPECT_THROW(WriteImageFile(dir / "a.jpg", image), UsageError);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"taken.png"});

    std::ofstream(dir / "a.png") << "old";
    WriteImageFile(dir / "a.png", Ramp(16));
    EXPECT_TRUE(ReadImageFile(dir / "a.png").image == Ramp(16));
}

} // namespace
} // namespace prismora::cli
