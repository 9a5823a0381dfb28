// The plain-text trace of the effect's GPU decisions, appended to
// TPrismora_GPU.log in the directory named by TEMP, and the text of the last
// CUDA launcher error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace prismora {

// The log file's path for a value of TEMP (null when unset): the directory
// ("." when unset or empty), a separator unless it already ends in one, then
// TPrismora_GPU.log. The value is in the platform's native characters (UTF-16
// on Windows), so a profile folder outside the system code page still works.
std::filesystem::path LogFilePath(const std::filesystem::path::value_type *temp_value);

// Appends one line; a file that cannot be opened loses the line silently.
void LogLine(std::string_view message);

// "<label>: what_gpu=<n> PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4"
void LogGpuFramework(const char *label, int32_t framework);

// "<key>=<value>"
void LogValue(const char *key, int64_t value);

// "<label> cuda_err=<code>" plus " detail=<text>" when the last error text is set.
void LogCudaResult(const char *label, int32_t code);

// The last CUDA launcher error text (256 bytes, zero-terminated, never null).
// One buffer per thread: a launcher and the caller that logs its result run on
// the same thread, and concurrent frames must not mix their texts.
char *LastCudaErrorText();

} // namespace prismora
