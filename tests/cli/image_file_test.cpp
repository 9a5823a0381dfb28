// Image files in and out: exact values at each depth, channel layouts, depth
// changes on reading, and nothing left behind when writing fails.
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

struct RoundTripCase {
    const char *file;
    int depth;
};

void PrintTo(const RoundTripCase &c, std::ostream *os)
{
    *os << c.file;
}

class RoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, ValuesComeBackExactly)
{
    ScratchDir dir;
    const HostImage image = Ramp(GetParam().depth);
    WriteImageFile(dir / GetParam().file, image);
    const LoadedImage loaded = ReadImageFile(dir / GetParam().file);
    EXPECT_EQ(loaded.file_depth, GetParam().depth);
    EXPECT_TRUE(loaded.image == image);
    EXPECT_EQ(dir.files(), std::vector<std::string>{GetParam().file}); // no temporary file remains
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip,
                         testing::Values(RoundTripCase{"a.png", 8}, RoundTripCase{"a16.png", 16},
                                         RoundTripCase{"a.tif", 8}, RoundTripCase{"a16.tif", 16},
                                         RoundTripCase{"a32.tif", 32}, RoundTripCase{"a.exr", 32}),
                         [](const testing::TestParamInfo<RoundTripCase> &info) {
                             std::string name = info.param.file;
                             name[name.find('.')] = '_';
                             return name;
                         });

TEST(ReadImageFile, GreyAndAlphaLessFilesBecomeOpaque)
{
    ScratchDir dir;
    test::WriteRaw<uint8_t>(dir / "grey.png", 2, 1, 1, {10, 200});
    const HostImage grey = ReadImageFile(dir / "grey.png").image;
    EXPECT_EQ(grey.at<PF_Pixel8>(1, 0).alpha, 255);
    EXPECT_EQ(grey.at<PF_Pixel8>(1, 0).red, 200);
    EXPECT_EQ(grey.at<PF_Pixel8>(1, 0).green, 200);
    EXPECT_EQ(grey.at<PF_Pixel8>(1, 0).blue, 200);

    test::WriteRaw<uint16_t>(dir / "rgb.png", 1, 1, 3, {65535, 1, 30000});
    const PF_Pixel16 rgb = ReadImageFile(dir / "rgb.png").image.at<PF_Pixel16>(0, 0);
    EXPECT_EQ(rgb.alpha, 32768);
    EXPECT_EQ(rgb.red, 32768);
    EXPECT_EQ(rgb.green, 1);
    EXPECT_EQ(rgb.blue, FileToHost16(30000));

    test::WriteRaw<uint8_t>(dir / "ga.png", 1, 1, 2, {90, 40});
    const PF_Pixel8 ga = ReadImageFile(dir / "ga.png").image.at<PF_Pixel8>(0, 0);
    EXPECT_EQ(ga.alpha, 40);
    EXPECT_EQ(ga.red, 90);
    EXPECT_EQ(ga.blue, 90);
}

TEST(ReadImageFile, HalfFilesAreFloatAndDepthChangesRoundHalfUp)
{
    ScratchDir dir;
    // 0.5 / 255 lies between two 8-bit steps exactly; half up gives 1.
    test::WriteRaw<float>(dir / "h.exr", 2, 1, 4, {0.25f, 2.0f, -1.0f, 0.5f, 0.5f / 255.0f, 1.0f, 0.0f, 1.0f},
                          OIIO::TypeDesc::HALF);
    const LoadedImage as_is = ReadImageFile(dir / "h.exr");
    EXPECT_EQ(as_is.file_depth, 32);
    EXPECT_EQ(as_is.image.at<PF_PixelFloat>(0, 0).red, 0.25f);
    EXPECT_EQ(as_is.image.at<PF_PixelFloat>(0, 0).green, 2.0f); // no clamp at float

    const HostImage eight = ReadImageFile(dir / "h.exr", 8).image;
    EXPECT_EQ(eight.depth(), 8);
    const PF_Pixel8 p = eight.at<PF_Pixel8>(0, 0);
    EXPECT_EQ(p.alpha, 128);
    EXPECT_EQ(p.red, 64);
    EXPECT_EQ(p.green, 255);
    EXPECT_EQ(p.blue, 0);

    test::WriteRaw<uint16_t>(dir / "w.png", 1, 1, 4, {65535, 32768, 0, 65535});
    const PF_Pixel8 w = ReadImageFile(dir / "w.png", 8).image.at<PF_Pixel8>(0, 0);
    EXPECT_EQ(w.red, 255);
    EXPECT_EQ(w.green, 128); // 32768 / 65535 * 255 = 127.5019...
    EXPECT_EQ(w.blue, 0);
}

TEST(ReadImageFile, MissingOrBrokenFilesAreUsageErrors)
{
    ScratchDir dir;
    EXPECT_THROW(ReadImageFile(dir / "none.png"), UsageError);
    std::ofstream(dir / "junk.png") << "not an image";
    EXPECT_THROW(ReadImageFile(dir / "junk.png"), UsageError);
}

TEST(WriteImageFile, FailuresLeaveNoFileBehind)
{
    ScratchDir dir;
    const HostImage image = Ramp(8);
    EXPECT_THROW(WriteImageFile(dir / "missing" / "a.png", image), UsageError);
    EXPECT_THROW(WriteImageFile(dir / "a.unknownformat", image), UsageError);
    std::filesystem::create_directory(dir / "taken.png");
    EXPECT_THROW(WriteImageFile(dir / "taken.png", image), UsageError);
    // Formats that would change the samples or drop alpha.
    EXPECT_THROW(WriteImageFile(dir / "float.png", Ramp(32)), UsageError);
    EXPECT_THROW(WriteImageFile(dir / "eight.exr", image), UsageError);
    EXPECT_THROW(WriteImageFile(dir / "deep.bmp", Ramp(16)), UsageError);
    EXPECT_THROW(WriteImageFile(dir / "a.jpg", image), UsageError);
    EXPECT_THROW(CheckImageOutputPath(dir / "float.png", 32), UsageError);
    CheckImageOutputPath(dir / "float.tif", 32);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"taken.png"});
}

TEST(WriteImageFile, ReplacesAnExistingFileWhole)
{
    ScratchDir dir;
    std::ofstream(dir / "a.png") << "old";
    WriteImageFile(dir / "a.png", Ramp(16));
    EXPECT_TRUE(ReadImageFile(dir / "a.png").image == Ramp(16));
}

} // namespace
} // namespace prismora::cli
