#include "cli/file_checks.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <system_error>

#include "cli/cli_error.h"

namespace prismora::cli {

namespace {

std::string ByteSize(double bytes)
{
    const char *units[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB"};
    int unit = 0;
    while (bytes >= 1024.0 && unit < 5) {
        bytes /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof(text), unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

} // namespace

void RequireRegularFile(const std::filesystem::path &path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        throw UsageError("cannot read " + path.string() + ": no such file");
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw UsageError("cannot read " + path.string() + ": not a regular file");
    }
}

void RefuseSameFile(const std::filesystem::path &output, const std::filesystem::path &other,
                    const std::string &role)
{
    std::error_code ec;
    if (std::filesystem::equivalent(output, other, ec) && !ec) {
        throw UsageError("cannot write " + output.string() + ": it is the " + role + " " + other.string());
    }
}

uint64_t ParseMemorySize(const std::string &text)
{
    uint64_t value = 0;
    const char *end = text.data() + text.size();
    const auto [rest, ec] = std::from_chars(text.data(), end, value);
    int shift = -1;
    if (ec == std::errc() && rest != text.data()) {
        if (rest == end) {
            shift = 0;
        } else if (rest + 1 == end ||
                   (rest + 2 == end && std::toupper(static_cast<unsigned char>(rest[1])) == 'B')) {
            switch (std::toupper(static_cast<unsigned char>(*rest))) {
            case 'K':
                shift = 10;
                break;
            case 'M':
                shift = 20;
                break;
            case 'G':
                shift = 30;
                break;
            case 'T':
                shift = 40;
                break;
            default:
                break;
            }
        }
    }
    if (shift < 0 || value == 0 || value > (UINT64_MAX >> shift)) {
        throw UsageError("--max-memory must be a positive size such as 8G, 512M or 1000000, not \"" + text +
                         "\"");
    }
    return value << shift;
}

void CheckFitsMemory(const std::filesystem::path &path, int64_t width, int64_t height,
                     uint64_t bytes_per_pixel, uint64_t budget)
{
    const double need =
        static_cast<double>(width) * static_cast<double>(height) * static_cast<double>(bytes_per_pixel);
    if (need > static_cast<double>(budget)) {
        throw UsageError("cannot read " + path.string() + ": " + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels need " + ByteSize(need) + ", more than the " +
                         ByteSize(static_cast<double>(budget)) + " allowed (--max-memory)");
    }
}

} // namespace prismora::cli
