#include "cli/running_program.h"

#ifdef _WIN32
#include <string>

#include <windows.h>
#endif

namespace prismora::cli {

#ifdef _WIN32

std::filesystem::path RunningProgramPath(std::error_code &ec)
{
    // The buffer grows until the whole path fits (long paths exceed MAX_PATH).
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            ec.assign(static_cast<int>(GetLastError()), std::system_category());
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            ec.clear();
            return path;
        }
        path.resize(path.size() * 2);
    }
}

#else

std::filesystem::path RunningProgramPath(std::error_code &ec)
{
    return std::filesystem::read_symlink("/proc/self/exe", ec);
}

#endif

} // namespace prismora::cli
