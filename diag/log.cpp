#include "diag/log.h"

#include <cstdlib>
#include <fstream>
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

} // namespace

std::string LogFilePath(const char *temp_value)
{
    std::string path = (temp_value != nullptr && temp_value[0] != '\0') ? temp_value : ".";
    if (path.back() != '\\' && path.back() != '/') {
        path += kSeparator;
    }
    path += kLogFileName;
    return path;
}

void LogLine(std::string_view message)
{
    // Opened and closed per line, so nothing is kept between calls and no lock
    // is needed: a line reaches the file in one appending write on close.
    std::ofstream file(LogFilePath(std::getenv("TEMP")), std::ios::out | std::ios::app);
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
