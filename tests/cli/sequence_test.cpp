// prismora render over numbered frames: several frames in flight give the
// frames a one-by-one render gives, failures and resuming leave exactly the
// files they should, bad input is refused before any frame, Ctrl-C stops
// cleanly.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cli/image_file.h"
#include "cli/test_card.h"
#include "run_program.h"

namespace prismora::cli {
namespace {

using test::Prismora;
using test::RunResult;
using test::ScratchDir;

std::string Numbered(const std::string &stem, int frame)
{
    char number[16];
    std::snprintf(number, sizeof(number), ".%04d.png", frame);
    return stem + number;
}

// Frames that differ: the card rolled sideways a little more each frame.
void WriteFrames(const std::filesystem::path &folder, const std::string &stem, std::vector<int> frames,
                 int32_t width = 96, int32_t height = 64)
{
    const HostImage card = MakeTestCard(width, height);
    for (const int frame : frames) {
        HostImage image(width, height, 8);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                image.at<PF_Pixel8>(x, y) = card.at<PF_Pixel8>((x + 5 * frame) % width, y);
            }
        }
        WriteImageFile(folder / Numbered(stem, frame), image);
    }
}

class Sequence : public testing::Test {
protected:
    Sequence() { setenv("PRISMORA_PLUGIN", PRISMORA_TEST_PLUGIN, 1); }
    ~Sequence() override { unsetenv("PRISMORA_PLUGIN"); }

    // In this process; err is not a terminal, so progress comes as plain lines.
    RunResult Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "render");
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunCommandLine(args, out, err);
        return {status, out.str(), err.str()};
    }
    std::string In(const std::string &pattern = "in.####.png") const { return (dir_ / pattern).string(); }
    std::string Out() const { return (dir_ / "out" / "out.####.png").string(); }
    std::vector<std::string> Outputs() const { return dir_.files("out"); }
    std::vector<std::string> OutputsOf(const std::vector<int> &frames) const
    {
        std::vector<std::string> names;
        for (const int frame : frames) {
            names.push_back(Numbered("out", frame));
        }
        return names;
    }

    ScratchDir dir_;
};

TEST_F(Sequence, SeveralFramesInFlightEqualFramesRenderedOneByOne)
{
    WriteFrames(dir_.path(), "in", {1, 2, 3, 4, 5, 6, 7});
    WriteFrames(dir_.path(), "m", {2, 5}, 96, 64);
    std::filesystem::create_directory(dir_ / "out");
    // The program itself, its standard error a file: one plain line per frame.
    const RunResult run =
        Prismora(dir_, {"render", In(), Out(), "--jobs", "3", "--threads", "3", "--set", "amount=80"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << run.err;
    EXPECT_EQ(test::Lines(run.err), 8u) << run.err;
    EXPECT_NE(run.err.find("prismora: frame 7 done, "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("7 frames written"), std::string::npos) << run.err;
    // A matte sequence, frame for frame, on chosen frames.
    const RunResult matted =
        Run({In(), (dir_ / "out" / "mat.####.png").string(), "--frames", "2,5", "--matte", In("m.####.png"),
             "--set", "glass_mode=full frame", "--jobs", "2", "-q"});
    ASSERT_EQ(matted.status, 0) << matted.err;
    EXPECT_EQ(matted.err, "");

    for (int frame = 1; frame <= 7; ++frame) {
        const std::string in = In(Numbered("in", frame));
        const std::string single = (dir_ / "single.png").string();
        ASSERT_EQ(Run({in, single, "--set", "amount=80", "--threads", "1"}).status, 0);
        EXPECT_TRUE(ReadImageFile(single).image == ReadImageFile(dir_ / "out" / Numbered("out", frame)).image)
            << "frame " << frame;
        if (frame == 2 || frame == 5) {
            ASSERT_EQ(Run({in, single, "--matte", In(Numbered("m", frame)), "--set", "glass_mode=full frame"})
                          .status,
                      0);
            EXPECT_TRUE(ReadImageFile(single).image ==
                        ReadImageFile(dir_ / "out" / Numbered("mat", frame)).image)
                << "matte frame " << frame;
        }
    }
}

TEST_F(Sequence, FailingFramesStopOrAreSkippedAndTheJobResumes)
{
    WriteFrames(dir_.path(), "in", {1, 2, 4, 6});
    std::ofstream(dir_ / "in.0003.png") << "not an image"; // and frame 5 is missing
    std::filesystem::create_directory(dir_ / "out");

    // Stops at frame 3: what was written before stays, nothing after, nothing partial.
    const RunResult stopped = Run({In(), Out(), "--frames", "1-6", "--jobs", "1"});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_NE(stopped.err.find("prismora: frame 3: cannot read "), std::string::npos) << stopped.err;
    EXPECT_EQ(Outputs(), OutputsOf({1, 2}));

    const RunResult kept = Run({In(), Out(), "--frames", "1-6", "--keep-going", "--jobs", "2"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.err.find("prismora: 2 of 6 frames failed (3, 5); 4 of 6 frames written"),
              std::string::npos)
        << kept.err;
    EXPECT_EQ(Outputs(), OutputsOf({1, 2, 4, 6}));

    // Resuming renders only what is missing: a written frame is not touched.
    WriteFrames(dir_.path(), "in", {3, 5});
    std::ofstream(dir_ / "out" / "out.0001.png", std::ios::trunc) << "kept";
    const RunResult resumed = Run({In(), Out(), "--frames", "1-6", "--skip-existing"});
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.err.find("2 frames written"), std::string::npos) << resumed.err;
    EXPECT_EQ(Outputs(), OutputsOf({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(test::Slurp(dir_ / "out" / "out.0001.png"), "kept");
    EXPECT_EQ(ReadImageFile(dir_ / "out" / "out.0005.png").image.width(), 96);
}

TEST_F(Sequence, BadInputIsRefusedBeforeAnyFrameRenders)
{
    WriteFrames(dir_.path(), "in", {1, 2, 3});
    WriteFrames(dir_.path(), "odd", {1, 2});
    WriteFrames(dir_.path(), "odd", {3}, 64, 64);
    WriteFrames(dir_.path(), "m", {1, 2});
    WriteFrames(dir_.path(), "m", {3}, 32, 32);
    std::filesystem::create_directory(dir_ / "out");
    for (const std::string &line : test::Cases(
             "@none.####.png @out/out.####.png|@none.####.png @out/out.####.png --frames 1-3|"
             "@odd.####.png @out/out.####.png|@in.####.png @out/out.####.png --matte @m.####.png|"
             "@in.####.png @out/out.png|@in.####.png @out/out.####.png --frames 3-1|"
             "@in.####.png @out/out.####.png --frames 1-3x-1|@in.0001.png @out/out.####.png --frames 1-3|"
             "@in.####.png @out/out.####.png --jobs 0|@in.####.png @in.####.png|"
             "@in.####.png @missing/out.####.png|@in.####.png @out/out.####.exr|"
             "@in.####.png @out/out.####.png --set amount=fifty")) {
        const RunResult run = Run(test::Words(dir_.path(), line));
        EXPECT_EQ(run.status, 2) << line << "\n" << run.err;
        EXPECT_EQ(test::Lines(run.err), 1u) << line << "\n" << run.err;
        EXPECT_TRUE(Outputs().empty()) << line;
    }
}

TEST_F(Sequence, AnInterruptFinishesTheFramesInFlightAndLeavesNothingPartial)
{
    constexpr int kFrames = 200;
    std::vector<int> frames;
    for (int frame = 1; frame <= kFrames; ++frame) {
        frames.push_back(frame);
    }
    WriteFrames(dir_.path(), "in", frames, 48, 32);
    std::filesystem::create_directory(dir_ / "out");
    const std::string in = In();
    const std::string out = Out();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::freopen("/dev/null", "w", stderr);
        execl(PRISMORA_TEST_CLI, PRISMORA_TEST_CLI, "render", in.c_str(), out.c_str(), "--jobs", "2",
              static_cast<char *>(nullptr));
        _exit(127);
    }
    // Signalled as soon as the first frame is written, as a user would press Ctrl-C.
    const auto a_frame_written = [&] {
        const std::vector<std::string> names = Outputs();
        return std::any_of(names.begin(), names.end(),
                           [](const std::string &n) { return n.rfind("out.", 0) == 0; });
    };
    for (int waited = 0; !a_frame_written() && waited < 60'000; waited += 5) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
    const std::vector<std::string> written = Outputs();
    EXPECT_GE(written.size(), 1u);
    EXPECT_LT(written.size(), static_cast<size_t>(kFrames));
    for (const std::string &name : written) {
        EXPECT_EQ(name.rfind("out.", 0), 0u) << "a temporary file was left: " << name;
        EXPECT_EQ(ReadImageFile(dir_ / "out" / name).image.width(), 48) << name;
    }
    EXPECT_EQ(Run({in, out, "--skip-existing", "-q"}).status, 0);
    EXPECT_EQ(Outputs().size(), static_cast<size_t>(kFrames));
}

} // namespace
} // namespace prismora::cli
