// A scratch folder per test and a way to write raw files for the readers.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

namespace prismora::cli::test {

class ScratchDir {
public:
    ScratchDir()
    {
        const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "prismora_cli_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                           std::to_string(::getpid());
        std::replace(name.begin(), name.end(), '/', '_'); // parameterised tests
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path &path() const { return path_; }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }
    // Every file name in the folder (or a folder inside it), sorted, to prove nothing was left behind.
    std::vector<std::string> files(const std::string &folder = "") const
    {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(path_ / folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

// Writes interleaved samples straight through OpenImageIO, as another program would.
template <typename Sample>
void WriteRaw(const std::filesystem::path &path, int width, int height, int channels,
              const std::vector<Sample> &samples, OIIO::TypeDesc type = OIIO::BaseTypeFromC<Sample>::value)
{
    auto out = OIIO::ImageOutput::create(path.string());
    ASSERT_TRUE(out) << OIIO::geterror();
    OIIO::ImageSpec spec(width, height, channels, type);
    if (channels == 4 || channels == 2) {
        spec.alpha_channel = channels - 1;
        spec.attribute("oiio:UnassociatedAlpha", 1);
    }
    ASSERT_TRUE(out->open(path.string(), spec)) << out->geterror();
    ASSERT_TRUE(out->write_image(OIIO::BaseTypeFromC<Sample>::value, samples.data())) << out->geterror();
    ASSERT_TRUE(out->close());
}

} // namespace prismora::cli::test
