#include "cli/atomic_file.h"

#include <atomic>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "cli/cli_error.h"

namespace prismora::cli {

namespace {

int ProcessId()
{
#ifdef _WIN32
    return _getpid(); // MSVC has no <unistd.h>
#else
    return ::getpid();
#endif
}

std::filesystem::path TempBeside(const std::filesystem::path &target)
{
    static std::atomic<unsigned> counter{0};
    // Joined as paths, not narrow strings, so no character of the name passes
    // through the system code page.
    std::filesystem::path name = ".";
    name += target.stem();
    name += ".tmp-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++);
    name += target.extension();
    return target.parent_path() / name;
}

} // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target))
{
    std::error_code ec;
    const std::filesystem::path dir = target_.parent_path().empty() ? "." : target_.parent_path();
    if (!std::filesystem::is_directory(dir, ec)) {
        throw UsageError("cannot write " + target_.string() + ": directory " + dir.string() +
                         " does not exist");
    }
    if (std::filesystem::is_directory(target_, ec)) {
        throw UsageError("cannot write " + target_.string() + ": it is a directory");
    }
    temp_ = TempBeside(target_);
}

AtomicFile::~AtomicFile()
{
    if (!committed_) {
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
    }
}

void AtomicFile::Commit()
{
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    if (ec) {
        throw UsageError("cannot write " + target_.string() + ": " + ec.message());
    }
    committed_ = true;
}

} // namespace prismora::cli
