#include "diag/log.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>

namespace prismora {
namespace {

constexpr char kLogFileName[] = "TPrismora_GPU.log";

// Elsewhere than Windows a backslash is an ordinary file-name character, so
// the directory separator is the platform's own.
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Numbers in plain decimal whatever global locale the host process has set.
std::ostringstream LineStream()
{
    std::ostringstream line;
    line.imbue(std::locale::classic());
    return line;
}

// TEMP as the platform stores it: Windows keeps the environment in UTF-16,
// and its narrow copy loses every character outside the system code page.
const std::filesystem::path::value_type *TempValue()
{
#ifdef _WIN32
    return _wgetenv(L"TEMP");
#else
    return std::getenv("TEMP");
#endif
}

} // namespace

std::filesystem::path LogFilePath(const std::filesystem::path::value_type *temp_value)
{
    std::filesystem::path::string_type path;
    if (temp_value != nullptr && temp_value[0] != 0) {
        path = temp_value;
    } else {
        path = {'.'};
    }
    if (path.back() != '\\' && path.back() != '/') {
        path += kSeparator;
    }
    path.append(std::begin(kLogFileName), std::end(kLogFileName) - 1);
    return path;
}

void LogLine(std::string_view message)
{
    // Opened and closed per line, so nothing is kept between calls and no lock
    // is needed: a line reaches the file in one appending write on close.
    std::ofstream file(LogFilePath(TempValue()), std::ios::out | std::ios::app);
    if (!file) {
        return; // the line is lost; logging never fails a command
    }
    file << message << '\n';
}

void LogGpuFramework(const char *label, int32_t framework)
{
    std::ostringstream line = LineStream();
    // 3 and 4 are the host's numbers for the CUDA and DirectX frameworks.
    line << label << ": what_gpu=" << framework << " PF_GPU_Framework_CUDA=" << 3
         << " PF_GPU_Framework_DIRECTX=" << 4;
    LogLine(line.str());
}

void LogValue(const char *key, int64_t value)
{
    std::ostringstream line = LineStream();
    line << key << '=' << value;
    LogLine(line.str());
}

void LogCudaResult(const char *label, int32_t code)
{
    std::ostringstream line = LineStream();
    line << label << " cuda_err=" << code;
    const char *detail = LastCudaErrorText();
    if (detail[0] != '\0') {
        line << " detail=" << detail;
    }
    LogLine(line.str());
}

char *LastCudaErrorText()
{
    thread_local char text[256] = {};
    return text;
}

} // namespace prismora
