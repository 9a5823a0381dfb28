#include "cli/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "cli/cli_error.h"

namespace prismora::cli {

namespace {

namespace fs = std::filesystem;

int ProcessId()
{
#ifdef _WIN32
    return _getpid(); // MSVC has no <unistd.h>
#else
    return ::getpid();
#endif
}

fs::path TempBeside(const fs::path &target)
{
    static std::atomic<unsigned> counter{0};
    // Joined as paths, not narrow strings, so no character of the name passes
    // through the system code page.
    fs::path name = ".";
    name += target.stem();
    name += ".tmp-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++);
    name += target.extension();
    return target.parent_path() / name;
}

// The file a chain of symbolic links ends at (it may not exist yet), so that
// the rename replaces it and leaves the links in place.
fs::path FollowLinks(const fs::path &user_path)
{
    fs::path path = user_path;
    std::error_code ec;
    for (int hops = 0; fs::is_symlink(fs::symlink_status(path, ec)); ++hops) {
        if (hops == 40) {
            throw UsageError("cannot write " + user_path.string() + ": too many levels of symbolic links");
        }
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            throw UsageError("cannot write " + user_path.string() + ": " + ec.message());
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// Nobody may write it: replacing it by a rename would bypass that.
bool IsReadOnly(const fs::path &path)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        return false;
    }
    constexpr fs::perms kAnyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((status.permissions() & kAnyWrite) == fs::perms::none) {
        return true;
    }
#ifndef _WIN32
    return ::access(path.c_str(), W_OK) != 0;
#else
    return false;
#endif
}

std::FILE *OpenForWriting(const fs::path &path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wbe"); // e: close on exec
#endif
}

bool FlushToDisk(std::FILE *file)
{
    if (std::fflush(file) != 0) {
        return false;
    }
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return ::fsync(fileno(file)) == 0;
#endif
}

} // namespace

AtomicFile::AtomicFile(fs::path target) : target_(std::move(target))
{
    destination_ = FollowLinks(target_);
    std::error_code ec;
    const fs::path dir = destination_.parent_path().empty() ? "." : destination_.parent_path();
    if (!fs::is_directory(dir, ec)) {
        throw UsageError("cannot write " + target_.string() + ": directory " + dir.string() +
                         " does not exist");
    }
    if (fs::is_directory(destination_, ec)) {
        throw UsageError("cannot write " + target_.string() + ": it is a directory");
    }
    if (fs::exists(destination_, ec) && !fs::is_regular_file(destination_, ec)) {
        throw UsageError("cannot write " + target_.string() + ": not a regular file");
    }
    if (IsReadOnly(destination_)) {
        throw UsageError("cannot write " + target_.string() + ": the file is read-only");
    }
    temp_ = TempBeside(destination_);
}

AtomicFile::~AtomicFile()
{
    if (!committed_) {
        std::error_code ec;
        fs::remove(temp_, ec);
    }
}

void AtomicFile::Write(std::span<const uint8_t> bytes)
{
    std::FILE *file = OpenForWriting(temp_);
    if (!file) {
        const int err = errno;
        throw UsageError("cannot write " + target_.string() + ": " + std::generic_category().message(err));
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int err = errno;
    const bool flushed = written && FlushToDisk(file);
    if (written && !flushed) {
        err = errno;
    }
    const bool closed = std::fclose(file) == 0;
    if (written && flushed && !closed) {
        err = errno;
    }
    if (!written || !flushed || !closed) {
        throw UsageError("cannot write " + target_.string() + ": " + std::generic_category().message(err));
    }
}

void AtomicFile::Commit()
{
    std::error_code ec;
    // A file replaced keeps its permissions.
    const fs::file_status old = fs::status(destination_, ec);
    if (!ec && fs::exists(old)) {
        fs::permissions(temp_, old.permissions(), ec);
    }
    fs::rename(temp_, destination_, ec);
    if (ec) {
        throw UsageError("cannot write " + target_.string() + ": " + ec.message());
    }
    committed_ = true;
}

} // namespace prismora::cli
