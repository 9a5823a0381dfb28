// What the command does with the files around it when things go wrong: a full
// disk, a header that claims a huge image, outputs that are inputs, links,
// read-only files, inputs that are not files, and the plug-in's log. The
// built program runs in a child process whose limits, environment and folder
// each test sets.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/cli_error.h"
#include "cli/image_file.h"
#include "cli/test_card.h"
#include "test_files.h"

namespace prismora::cli {
namespace {

using test::ScratchDir;

struct Child {
    Child(std::vector<std::string> arguments, std::optional<rlim_t> limit = std::nullopt)
        : args(std::move(arguments)), file_size_limit(limit)
    {
    }
    std::vector<std::string> args;
    std::optional<rlim_t> file_size_limit; // RLIMIT_FSIZE, with SIGXFSZ ignored: writes fail with EFBIG
    std::map<std::string, std::optional<std::string>> env; // nullopt: unset
    std::filesystem::path cwd;
};

struct RunResult {
    int status = -1; // -1: killed (by the 30-second alarm, or a signal)
    std::string err;
    double seconds = 0.0;
};

std::string Slurp(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

RunResult RunChild(const ScratchDir &dir, const Child &child)
{
    const std::string err_path = dir.path().string() + ".stderr";
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(err, 2);
        if (!child.cwd.empty() && chdir(child.cwd.c_str()) != 0) {
            _exit(126);
        }
        for (const auto &[name, value] : child.env) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
        if (child.file_size_limit) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{*child.file_size_limit, *child.file_size_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        alarm(30); // a program that never ends fails the test instead of hanging it
        std::vector<char *> argv{const_cast<char *>(PRISMORA_TEST_CLI)};
        for (const std::string &a : child.args) {
            argv.push_back(const_cast<char *>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(PRISMORA_TEST_CLI, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = Slurp(err_path);
    std::filesystem::remove(err_path);
    return run;
}

// One line, naming the user's path and never a temporary file's.
::testing::AssertionResult OneLineNaming(const RunResult &run, const std::string &path)
{
    if (std::count(run.err.begin(), run.err.end(), '\n') != 1 || run.err.find(path) == std::string::npos ||
        run.err.find(".tmp-") != std::string::npos) {
        return ::testing::AssertionFailure() << "stderr: " << run.err;
    }
    return ::testing::AssertionSuccess();
}

void WriteCard(const std::filesystem::path &path, int32_t width = 160, int32_t height = 120)
{
    WriteImageFile(path, MakeTestCard(width, height));
}

// A PNG chunk: length, type and data, then the CRC of type and data.
void AppendChunk(std::vector<uint8_t> &png, const char *type, const std::vector<uint8_t> &data)
{
    const auto be32 = [&png](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            png.push_back(static_cast<uint8_t>(v >> shift));
        }
    };
    be32(static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : body) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    png.insert(png.end(), body.begin(), body.end());
    be32(crc ^ 0xFFFFFFFFu);
}

// A PNG of a few dozen bytes whose header claims width x height RGBA pixels.
void WritePngClaiming(const std::filesystem::path &path, uint32_t width, uint32_t height)
{
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    for (uint32_t v : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            header.push_back(static_cast<uint8_t>(v >> shift));
        }
    }
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", {0x78, 0x9C, 0x03, 0x00});
    AppendChunk(png, "IEND", {});
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(png.data()), static_cast<std::streamsize>(png.size()));
}

TEST(FileSafety, AFullDiskFailsTheRenderAndKeepsTheOldOutput)
{
    ScratchDir dir;
    WriteCard(dir / "in.png", 320, 240);
    // SGI: a writer that cannot encode into memory, whose file is read back.
    for (const std::string name : {"out.png", "out.tif", "out.sgi"}) {
        const std::string out = (dir / name).string();
        const RunResult run = RunChild(dir, {{"render", (dir / "in.png").string(), out}, 4096});
        EXPECT_TRUE(run.status == 1 || run.status == 2) << name << ": " << run.status << " " << run.err;
        EXPECT_TRUE(OneLineNaming(run, out)) << name;
        EXPECT_EQ(dir.files(), std::vector<std::string>{"in.png"}) << name;
    }
    ASSERT_EQ(RunChild(dir, {{"render", (dir / "in.png").string(), (dir / "whole.sgi").string()}}).status, 0);
    EXPECT_EQ(ReadImageFile(dir / "whole.sgi").image.width(), 320);
    std::filesystem::remove(dir / "whole.sgi");
    // A good frame from an earlier render is not replaced by a broken one.
    std::filesystem::copy_file(dir / "in.png", dir / "out.png");
    const std::string before = Slurp(dir / "out.png");
    const RunResult run =
        RunChild(dir, {{"render", (dir / "in.png").string(), (dir / "out.png").string()}, 4096});
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(Slurp(dir / "out.png"), before);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"in.png", "out.png"}));
}

TEST(FileSafety, ClaimedSizesBeyondTheMemoryBudgetAreRefusedBeforeAllocating)
{
    ScratchDir dir;
    WriteCard(dir / "in.png");
    WritePngClaiming(dir / "huge.png", 60000, 60000);
    const std::string in = (dir / "in.png").string();
    const std::string huge = (dir / "huge.png").string();
    const std::string out = (dir / "out.png").string();
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"render", huge, out},
          std::vector<std::string>{"render", in, out, "--matte", huge},
          std::vector<std::string>{"render", in, out, "--max-memory", "64K"}}) {
        const RunResult run = RunChild(dir, {args});
        EXPECT_EQ(run.status, 2) << args[1] << " " << run.err;
        EXPECT_TRUE(OneLineNaming(run, args.size() == 3 ? args[1] : args[4] == huge ? huge : in));
        EXPECT_NE(run.err.find(args.size() == 5 && args[3] == "--max-memory" ? "160 x 120" : "60000 x 60000"),
                  std::string::npos)
            << run.err;
        EXPECT_LT(run.seconds, 10.0);
    }
    EXPECT_EQ(RunChild(dir, {{"render", in, out, "--max-memory", "many"}}).status, 2);
    EXPECT_EQ(RunChild(dir, {{"render", in, out, "--max-memory", "1M"}}).status, 0);

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
    for (const std::vector<std::string> &args : {
             std::vector<std::string>{"render", in, in},
             std::vector<std::string>{"render", in, (dir / "in-link.png").string()},
             std::vector<std::string>{"render", in, (dir / "matte-hard.png").string(), "--matte",
                                      (dir / "matte.png").string()},
         }) {
        const RunResult run = RunChild(dir, {args});
        EXPECT_EQ(run.status, 2) << args[2] << " " << run.err;
        EXPECT_TRUE(OneLineNaming(run, args[2]));
    }
    EXPECT_EQ(Slurp(dir / "in.png"), input_bytes);

    // A link is written through: the file it names gets the frame, the link stays.
    std::filesystem::create_directory(dir / "real");
    std::filesystem::create_symlink("real/frame.png", dir / "frame.png"); // dangling until written
    ASSERT_EQ(RunChild(dir, {{"render", in, (dir / "frame.png").string()}}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "frame.png"));
    EXPECT_EQ(ReadImageFile(dir / "real" / "frame.png").image.width(), 160);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "real"), {}), 1);

    // A read-only file is left as it is.
    std::filesystem::copy_file(dir / "in.png", dir / "kept.png");
    std::filesystem::permissions(dir / "kept.png", std::filesystem::perms::owner_read);
    const RunResult kept = RunChild(dir, {{"render", in, (dir / "kept.png").string()}});
    EXPECT_EQ(kept.status, 2);
    EXPECT_TRUE(OneLineNaming(kept, (dir / "kept.png").string()));
    EXPECT_EQ(Slurp(dir / "kept.png"), input_bytes);

    // A replaced file keeps its permissions.
    std::filesystem::copy_file(dir / "in.png", dir / "shared.png");
    const auto shared = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                        std::filesystem::perms::group_read | std::filesystem::perms::group_write;
    std::filesystem::permissions(dir / "shared.png", shared);
    ASSERT_EQ(RunChild(dir, {{"render", in, (dir / "shared.png").string()}}).status, 0);
    EXPECT_EQ(std::filesystem::status(dir / "shared.png").permissions(), shared);

    // A folder nobody may create files in: the message names the user's path.
    const std::string proc = "/proc/self/out.png";
    const RunResult denied = RunChild(dir, {{"render", in, proc}});
    EXPECT_EQ(denied.status, 2);
    EXPECT_TRUE(OneLineNaming(denied, proc));
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
        const RunResult run = RunChild(dir, {args});
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
    Child child{{"render", (dir / "in.png").string(), (dir / "out.png").string(), "--renderer", "gpu"}};
    child.env = {{"TEMP", std::nullopt}, {"TMPDIR", (dir / "tmp").string()}};
    child.cwd = dir / "work";
    const RunResult run = RunChild(dir, child);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "work"));
    EXPECT_TRUE(std::filesystem::exists(dir / "tmp" / "TPrismora_GPU.log"));
}

} // namespace
} // namespace prismora::cli
