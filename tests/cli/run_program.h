// The built prismora program run as a user runs it, in a child process whose
// limits, environment and folder each test may set: exit status and what it
// printed, captured outside the scratch folder whose contents the tests check.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "test_files.h"

namespace prismora::cli::test {

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
    std::string out;
    std::string err;
    double seconds = 0.0;
};

inline std::string Slurp(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline RunResult Prismora(const ScratchDir &dir, const Child &child)
{
    const std::string out_path = dir.path().string() + ".stdout";
    const std::string err_path = dir.path().string() + ".stderr";
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
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
    RunResult run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out_path), Slurp(err_path)};
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove(out_path);
    std::filesystem::remove(err_path);
    return run;
}

inline RunResult Prismora(const ScratchDir &dir, const std::vector<std::string> &args)
{
    return Prismora(dir, Child(args));
}

inline size_t Lines(const std::string &text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A command line written as one string: words split at spaces, '' an empty
// word, and a word starting with @ a path inside the folder.
inline std::vector<std::string> Words(const std::filesystem::path &folder, const std::string &line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) {
        words.push_back(w == "''" ? "" : (w[0] == '@' ? (folder / w.substr(1)).string() : w));
    }
    return words;
}

// Test cases written as one string, separated by |.
inline std::vector<std::string> Cases(const std::string &text)
{
    std::vector<std::string> cases;
    std::istringstream in(text);
    for (std::string c; std::getline(in, c, '|');) {
        cases.push_back(c);
    }
    return cases;
}

} // namespace prismora::cli::test
