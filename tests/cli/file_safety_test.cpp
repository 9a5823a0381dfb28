// What the command does with the files around it when things go wrong: a full
// disk, a header that claims a huge image, outputs that are inputs, links,
// read-only files, inputs that are not files, and the plug-in's log. The
// built program runs in a child process whose limits, environment and folder
// each test sets.
#include <sys/stat.h>

#include <fstream>

#include <gtest/gtest.h>

#include "cli/cli_error.h"
#include "cli/image_file.h"
#include "cli/test_card.h"
#include "run_program.h"

namespace prismora::cli {
namespace {

using test::Prismora;
using test::RunResult;
using test::ScratchDir;
using test::Slurp;

// One line, naming the user's path and never a temporary file's.
::testing::AssertionResult OneLineNaming(const RunResult &run, const std::string &path)
{
    if (test::Lines(run.err) != 1 || run.err.find(path) == std::string::npos ||
        run.err.find(".tmp-") != std::string::npos) {
        return ::testing::AssertionFailure() << "stderr: " << run.err;
    }
    return ::testing::AssertionSuccess();
}

void WriteCard(const std::filesystem::path &path, int32_t width = 160, int32_t height = 120)
{
    WriteImageFile(path, MakeTestCard(width, height));
}

TEST(FileSafety, AFullDiskFailsTheRenderAndKeepsTheOldOutput)
{
    ScratchDir dir;
    WriteCard(dir / "in.png", 320, 240);
    // SGI: a writer that cannot encode into memory, whose file is read back.
    for (const std::string name : {"out.png", "out.tif", "out.sgi"}) {
        const std::string out = (dir / name).string();
        const RunResult run = Prismora(dir, {{"render", (dir / "in.png").string(), out}, 4096});
        EXPECT_TRUE(run.status == 1 || run.status == 2) << name << ": " << run.status << " " << run.err;
        EXPECT_TRUE(OneLineNaming(run, out)) << name;
        EXPECT_EQ(dir.files(), std::vector<std::string>{"in.png"}) << name;
    }
    ASSERT_EQ(Prismora(dir, {"render", (dir / "in.png").string(), (dir / "whole.sgi").string()}).status, 0);
    EXPECT_EQ(ReadImageFile(dir / "whole.sgi").image.width(), 320);
    std::filesystem::remove(dir / "whole.sgi");
    // A good frame from an earlier render is not replaced by a broken one.
    std::filesystem::copy_file(dir / "in.png", dir / "out.png");
    const std::string before = Slurp(dir / "out.png");
    const RunResult run =
        Prismora(dir, {{"render", (dir / "in.png").string(), (dir / "out.png").string()}, 4096});
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(Slurp(dir / "out.png"), before);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"in.png", "out.png"}));
}

TEST(FileSafety, ClaimedSizesBeyondTheMemoryBudgetAreRefusedBeforeAllocating)
{
    ScratchDir dir;
    WriteCard(dir / "in.png");
    std::ofstream(dir / "huge.ppm") << "P6\n60000 60000\n255\n"; // a header and no pixels
    const std::string in = (dir / "in.png").string();
    const std::string huge = (dir / "huge.ppm").string();
    const std::string out = (dir / "out.png").string();
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"render", huge, out},
          std::vector<std::string>{"render", in, out, "--matte", huge},
          std::vector<std::string>{"render", in, out, "--max-memory", "64K"}}) {
        const RunResult run = Prismora(dir, args);
        EXPECT_EQ(run.status, 2) << args[1] << " " << run.err;
        EXPECT_TRUE(OneLineNaming(run, args.size() == 3 ? args[1] : args[4] == huge ? huge : in));
        EXPECT_NE(run.err.find(args.size() == 5 && args[3] == "--max-memory" ? "160 x 120" : "60000 x 60000"),
                  std::string::npos)
            << run.err;
        EXPECT_LT(run.seconds, 10.0);
    }
    EXPECT_EQ(Prismora(dir, {"render", in, out, "--max-memory", "many"}).status, 2);
    EXPECT_EQ(Prismora(dir, {"render", in, out, "--max-memory", "1M"}).status, 0);

    // Every format is measured from its header, before a pixel is held.
    for (const std::string name : {"card.png", "card.tif", "card.exr"}) {
        WriteImageFile(dir / name, ConvertDepth(MakeTestCard(64, 64), name == "card.exr" ? 32 : 8));
        EXPECT_EQ(ReadImageFile(dir / name, 0, 1 << 20).image.width(), 64) << name;
        try {
            ReadImageFile(dir / name, 0, 16 << 10);
            ADD_FAILURE() << name << " read within 16 KiB";
        } catch (const UsageError &e) {
            EXPECT_NE(std::string(e.what()).find("64 x 64"), std::string::npos) << e.what();
        }
    }
}

TEST(FileSafety, OutputsNeverReplaceInputsLinksOrReadOnlyFiles)
{
    ScratchDir dir;
    WriteCard(dir / "in.png");
    WriteCard(dir / "matte.png");
    const std::string in = (dir / "in.png").string();
    const std::string input_bytes = Slurp(dir / "in.png");
    std::filesystem::create_symlink(dir / "in.png", dir / "in-link.png");
    std::filesystem::create_hard_link(dir / "matte.png", dir / "matte-hard.png");
    std::filesystem::copy_file(dir / "in.png", dir / "kept.png");
    std::filesystem::permissions(dir / "kept.png", std::filesystem::perms::owner_read);
    // The input, a link to it, a hard link to the matte, a read-only file, a folder closed to new files.
    for (const std::string &out : {in, (dir / "in-link.png").string(), (dir / "matte-hard.png").string(),
                                   (dir / "kept.png").string(), std::string("/proc/self/out.png")}) {
        const RunResult run = Prismora(dir, {"render", in, out, "--matte", (dir / "matte.png").string()});
        EXPECT_EQ(run.status, 2) << out << " " << run.err;
        EXPECT_TRUE(OneLineNaming(run, out));
    }
    EXPECT_EQ(Slurp(dir / "in.png"), input_bytes);
    EXPECT_EQ(Slurp(dir / "kept.png"), input_bytes);

    // A link is written through: the file it names gets the frame, the link stays.
    std::filesystem::create_directory(dir / "real");
    std::filesystem::create_symlink("real/frame.png", dir / "frame.png"); // dangling until written
    ASSERT_EQ(Prismora(dir, {"render", in, (dir / "frame.png").string()}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "frame.png"));
    EXPECT_EQ(ReadImageFile(dir / "real" / "frame.png").image.width(), 160);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "real"), {}), 1);

    // A replaced file keeps its permissions.
    std::filesystem::copy_file(dir / "in.png", dir / "shared.png");
    const auto shared = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                        std::filesystem::perms::group_read | std::filesystem::perms::group_write;
    std::filesystem::permissions(dir / "shared.png", shared);
    ASSERT_EQ(Prismora(dir, {"render", in, (dir / "shared.png").string()}).status, 0);
    EXPECT_EQ(std::filesystem::status(dir / "shared.png").permissions(), shared);
}

TEST(FileSafety, InputsThatAreNotRegularFilesAreRefusedAtOnce)
{
    ScratchDir dir;
    WriteCard(dir / "in.png");
    ASSERT_EQ(mkfifo((dir / "pipe.png").c_str(), 0600), 0);
    const std::string out = (dir / "out.png").string();
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"render", "/dev/zero", out},
          std::vector<std::string>{"render", (dir / "pipe.png").string(), out},
          std::vector<std::string>{"render", dir.path().string(), out},
          std::vector<std::string>{"render", (dir / "in.png").string(), out, "--matte", "/dev/zero"}}) {
        const RunResult run = Prismora(dir, args);
        EXPECT_EQ(run.status, 2) << args[1] << " " << run.err;
        EXPECT_TRUE(OneLineNaming(run, args.size() == 3 ? args[1] : args[4]));
        EXPECT_LT(run.seconds, 10.0) << args[1];
    }
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"in.png", "pipe.png"}));
}

TEST(FileSafety, WithoutTempThePluginLogGoesToTheSystemTemporaryFolder)
{
    ScratchDir dir;
    WriteCard(dir / "in.png");
    std::filesystem::create_directory(dir / "work");
    std::filesystem::create_directory(dir / "tmp");
    test::Child child{{"render", (dir / "in.png").string(), (dir / "out.png").string(), "--renderer", "gpu"}};
    child.env = {{"TEMP", std::nullopt}, {"TMPDIR", (dir / "tmp").string()}};
    child.cwd = dir / "work";
    const RunResult run = Prismora(dir, child);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "work"));
    EXPECT_TRUE(std::filesystem::exists(dir / "tmp" / "TPrismora_GPU.log"));
}

} // namespace
} // namespace prismora::cli
