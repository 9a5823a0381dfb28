// Points TEMP at a fresh directory for the life of the object, so a test can
// read exactly the log lines the effect wrote.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stdlib.h>

namespace prismora::test {

class ScopedLogDir {
public:
    ScopedLogDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "prismora_log_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a temporary directory";
        }
        dir_ = pattern;
        if (const char *old = std::getenv("TEMP")) {
            saved_temp_ = old;
        }
        setenv("TEMP", dir_.c_str(), 1);
    }
    ~ScopedLogDir()
    {
        saved_temp_ ? setenv("TEMP", saved_temp_->c_str(), 1) : unsetenv("TEMP");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    ScopedLogDir(const ScopedLogDir &) = delete;
    ScopedLogDir &operator=(const ScopedLogDir &) = delete;

    const std::filesystem::path &dir() const { return dir_; }
    std::filesystem::path log_file() const { return dir_ / "TPrismora_GPU.log"; }

    // The log's lines without their line ends; empty when there is no file.
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        std::ifstream in(log_file());
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

private:
    std::filesystem::path dir_;
    std::optional<std::string> saved_temp_;
};

} // namespace prismora::test
