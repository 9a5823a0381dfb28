// The built prismora program run as a user runs it: exit status and what it
// printed, captured outside the scratch folder whose contents the tests check.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_files.h"

namespace prismora::cli::test {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Slurp(const std::filesystem::path &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline RunResult Prismora(const ScratchDir &dir, const std::vector<std::string> &args)
{
    const std::string out_path = dir.path().string() + ".stdout";
    const std::string err_path = dir.path().string() + ".stderr";
    std::string command = PRISMORA_TEST_CLI;
    for (const std::string &a : args) {
        command += " '" + a + "'";
    }
    const int status = std::system((command + " >'" + out_path + "' 2>'" + err_path + "'").c_str());
    RunResult run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out_path), Slurp(err_path)};
    std::filesystem::remove(out_path);
    std::filesystem::remove(err_path);
    return run;
}

inline size_t Lines(const std::string &text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace prismora::cli::test
