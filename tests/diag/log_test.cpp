#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "diag/log.h"
#include "support/scoped_log_dir.h"

namespace prismora {
namespace {

using test::ScopedLogDir;

#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

TEST(LogFilePath, UnsetOrEmptyTempMeansTheCurrentDirectory)
{
    EXPECT_EQ(LogFilePath(nullptr), "." + kSep + "TPrismora_GPU.log");
    EXPECT_EQ(LogFilePath(""), "." + kSep + "TPrismora_GPU.log");
}

TEST(LogFilePath, AddsASeparatorOnlyWhenTheDirectoryLacksOne)
{
    EXPECT_EQ(LogFilePath("/var/tmp"), "/var/tmp" + kSep + "TPrismora_GPU.log");
    EXPECT_EQ(LogFilePath("/var/tmp/"), "/var/tmp/TPrismora_GPU.log");
    EXPECT_EQ(LogFilePath("C:\\Temp\\"), "C:\\Temp\\TPrismora_GPU.log");
    EXPECT_EQ(LogFilePath("C:\\Temp"), "C:\\Temp" + kSep + "TPrismora_GPU.log");
}

TEST(LogLine, AppendsLinesInOrderAndKeepsEarlierContent)
{
    ScopedLogDir log;
    {
        std::ofstream earlier(log.log_file());
        earlier << "from an earlier session\n";
    }
    LogLine("first");
    LogLine("second line, with spaces");
    LogLine("");
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"from an earlier session", "first", "second line, with spaces", ""}));
}

TEST(LogLine, MissingDirectoryLosesTheLineQuietly)
{
    ScopedLogDir log;
    const std::filesystem::path missing = log.dir() / "no" / "such" / "dir";
    setenv("TEMP", missing.c_str(), 1);
    LogLine("lost");
    LogValue("lost", 1);
    EXPECT_FALSE(std::filesystem::exists(log.dir() / "no"));
}

// Unset and empty TEMP both write into the current directory.
TEST(LogLine, UnsetOrEmptyTempWritesIntoTheCurrentDirectory)
{
    ScopedLogDir log;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(log.dir());
    unsetenv("TEMP");
    LogLine("unset");
    setenv("TEMP", "", 1);
    LogLine("empty");
    std::filesystem::current_path(previous);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"unset", "empty"}));
}

// A host process may set a global locale that groups digits.
struct GroupingPunct : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(LogShapes, FrameworkValueAndCudaResultLines)
{
    ScopedLogDir log;
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new GroupingPunct));
    LogGpuFramework("GPUDeviceSetup(CUDA)", 3);
    LogGpuFramework("X", -7);
    LogValue("GPUDeviceSetup(CUDA): device_index", 0);
    LogValue("k", -1);
    LogValue("big", INT64_MIN);
    LogValue("thousands", 1234567);

    LastCudaErrorText()[0] = '\0';
    LogCudaResult("SmartRenderGPU(CUDA): composite", 0);
    std::strcpy(LastCudaErrorText(), "invalid argument");
    LogCudaResult("SmartRenderGPU(CUDA): half vertical", 1);
    LastCudaErrorText()[0] = '\0';
    std::locale::global(previous);

    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "GPUDeviceSetup(CUDA): what_gpu=3 PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4",
                  "X: what_gpu=-7 PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4",
                  "GPUDeviceSetup(CUDA): device_index=0",
                  "k=-1",
                  "big=-9223372036854775808",
                  "thousands=1234567",
                  "SmartRenderGPU(CUDA): composite cuda_err=0",
                  "SmartRenderGPU(CUDA): half vertical cuda_err=1 detail=invalid argument",
              }));
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

// Frames render on several threads at once; every line must arrive whole.
TEST(LogLine, ConcurrentWritersLeaveWholeLines)
{
    ScopedLogDir log;
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kLinesEach; ++i) {
                LogValue(("writer " + std::to_string(t) + " line").c_str(), i);
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
        ASSERT_EQ(std::sscanf(line.c_str(), "writer %d line=%d", &writer, &index), 2) << line;
        ASSERT_EQ(line, "writer " + std::to_string(writer) + " line=" + std::to_string(index));
        ASSERT_GE(writer, 0);
        ASSERT_LT(writer, kThreads);
        EXPECT_EQ(index, next[writer]++) << "one writer's lines keep their order";
    }
}

} // namespace
} // namespace prismora
