#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "diag/log.h"
#include "support/scoped_log_dir.h"

namespace prismora {
namespace {

using test::ScopedLogDir;

TEST(LogFilePath, TheDirectoryPlusASeparatorOnlyWhereItLacksOne)
{
    const std::string sep = "/";
    const struct {
        const char *temp;
        std::string path;
    } cases[] = {
        {nullptr, "." + sep + "TPrismora_GPU.log"},
        {"", "." + sep + "TPrismora_GPU.log"},
        {"/var/tmp", "/var/tmp" + sep + "TPrismora_GPU.log"},
        {"/var/tmp/", "/var/tmp/TPrismora_GPU.log"},
        {"C:\\Temp\\", "C:\\Temp\\TPrismora_GPU.log"},
        {"C:\\Temp", "C:\\Temp" + sep + "TPrismora_GPU.log"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(LogFilePath(c.temp).string(), c.path) << (c.temp != nullptr ? c.temp : "(unset)");
    }
}

// A host process may set a global locale that groups digits.
struct GroupingPunct : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

// Each line is appended, and numbers stay plain decimal. The shapes of the
// lines are held by the GPU render's and device set-up's log tests.
TEST(LogLine, AppendsAfterEarlierContentWithPlainDecimalNumbers)
{
    ScopedLogDir log;
    std::ofstream(log.log_file()) << "from an earlier session\n";
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new GroupingPunct));
    LogValue("thousands", 1234567);
    std::locale::global(previous);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"from an earlier session", "thousands=1234567"}));
}

TEST(LogLine, MissingDirectoryLosesTheLineQuietly)
{
    ScopedLogDir log;
    setenv("TEMP", (log.dir() / "no" / "dir").c_str(), 1);
    LogLine("lost");
    EXPECT_FALSE(std::filesystem::exists(log.dir() / "no"));
}

TEST(LastCudaErrorText, EmptyAtStartAndSeparatePerThread)
{
    std::strcpy(LastCudaErrorText(), "main thread error");
    std::string seen_by_other;
    std::thread other([&] {
        seen_by_other = LastCudaErrorText();
        std::strcpy(LastCudaErrorText(), "other thread error");
    });
    other.join();
    EXPECT_EQ(seen_by_other, "");
    EXPECT_STREQ(LastCudaErrorText(), "main thread error");
    LastCudaErrorText()[0] = '\0';
}

// Frames render on several threads at once; every line must arrive whole and
// one writer's lines in order.
TEST(LogLine, ConcurrentWritersLeaveWholeLines)
{
    ScopedLogDir log;
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kLinesEach; ++i) {
                LogValue(("writer " + std::to_string(t)).c_str(), i);
            }
        });
    }
    for (std::thread &w : writers) {
        w.join();
    }
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLinesEach));
    std::vector<int> next(kThreads, 0);
    for (const std::string &line : lines) {
        int writer = -1;
        int index = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "writer %d=%d", &writer, &index), 2) << line;
        ASSERT_TRUE(writer >= 0 && writer < kThreads) << line;
        ASSERT_EQ(line, "writer " + std::to_string(writer) + "=" + std::to_string(next[writer]++));
    }
}

} // namespace
} // namespace prismora
