// Command arguments travel as UTF-8 on every platform; file names are made
// from them as UTF-8, never through the system code page.
#pragma once

#include <filesystem>
#include <string>

namespace prismora::cli {

inline std::filesystem::path PathFromUtf8(const std::string &text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace prismora::cli
