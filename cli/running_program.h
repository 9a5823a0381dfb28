// The file of the running program, asked of the operating system.
#pragma once

#include <filesystem>
#include <system_error>

namespace prismora::cli {

// Its absolute path; empty with ec set when the system cannot say.
std::filesystem::path RunningProgramPath(std::error_code &ec);

} // namespace prismora::cli
