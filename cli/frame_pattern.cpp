#include "cli/frame_pattern.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "cli/cli_error.h"

namespace prismora::cli {

namespace {

// Beyond this, frame numbers are surely a typing mistake; it also keeps
// FIRST-LAST ranges from overflowing.
constexpr int kMaxFrame = 999'999'999;
// More frames than any job would render; it keeps a typo from asking for gigabytes.
constexpr size_t kMaxFrameCount = 10'000'000;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A non-negative frame number filling all of text.
bool ParseFrameNumber(std::string_view text, int &frame)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), frame);
    return ec == std::errc() && end == text.data() + text.size() && frame <= kMaxFrame;
}

struct Placeholder {
    size_t at = 0;
    size_t length = 0;
    int width = 0;
};

// The placeholder starting at name[i], if one does.
std::optional<Placeholder> PlaceholderAt(const std::string &name, size_t i)
{
    const char c = name[i];
    if (c == '#' || c == '@') {
        size_t end = i;
        while (end < name.size() && name[end] == c) {
            ++end;
        }
        const int run = static_cast<int>(end - i);
        return Placeholder{i, end - i, c == '#' && run == 1 ? 4 : run};
    }
    if (c == '%') {
        // %d or %0Nd
        size_t end = i + 1;
        int width = 0;
        if (end < name.size() && name[end] == '0') {
            ++end;
            const size_t digits = end;
            while (end < name.size() && IsDigit(name[end])) {
                width = width * 10 + (name[end] - '0');
                ++end;
            }
            if (end == digits || width > 16) {
                return std::nullopt;
            }
        }
        if (end < name.size() && name[end] == 'd') {
            return Placeholder{i, end + 1 - i, width};
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<FramePattern> FramePattern::Find(const std::filesystem::path &path)
{
    const std::string name = path.filename().string();
    std::optional<Placeholder> found;
    for (size_t i = 0; i < name.size(); ++i) {
        if (const std::optional<Placeholder> p = PlaceholderAt(name, i)) {
            if (found) {
                throw UsageError(path.string() + " holds more than one frame number");
            }
            found = p;
            i += p->length - 1;
        }
    }
    if (!found) {
        return std::nullopt;
    }
    FramePattern pattern;
    pattern.folder_ = path.parent_path();
    pattern.prefix_ = name.substr(0, found->at);
    pattern.suffix_ = name.substr(found->at + found->length);
    pattern.width_ = found->width;
    pattern.text_ = path.string();
    return pattern;
}

std::filesystem::path FramePattern::For(int frame) const
{
    std::string number = std::to_string(frame);
    if (number.size() < static_cast<size_t>(width_)) {
        number.insert(0, static_cast<size_t>(width_) - number.size(), '0');
    }
    return folder_ / (prefix_ + number + suffix_);
}

std::vector<int> FramePattern::FramesOnDisk() const
{
    std::vector<int> frames;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(folder_.empty() ? "." : folder_, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix_.size() + suffix_.size() || name.rfind(prefix_, 0) != 0 ||
            name.compare(name.size() - suffix_.size(), suffix_.size(), suffix_) != 0) {
            continue;
        }
        const std::string_view number =
            std::string_view(name).substr(prefix_.size(), name.size() - prefix_.size() - suffix_.size());
        int frame = 0;
        // Only the name For(frame) gives: no zeros beyond the width.
        if (ParseFrameNumber(number, frame) && For(frame).filename().string() == name &&
            !entry.is_directory(ec)) {
            frames.push_back(frame);
        }
    }
    std::sort(frames.begin(), frames.end());
    return frames;
}

std::vector<int> ParseFrameList(const std::string &text)
{
    const auto refuse = [&text](const std::string &why) {
        return UsageError("--frames \"" + text + "\": " + why +
                          " (expected numbers and ranges such as 1-240, 1-240x2 or 1,5,9-12)");
    };
    std::vector<int> frames;
    size_t start = 0;
    do {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = std::string_view(text).substr(start, comma - start);
        start = comma + 1;
        const size_t dash = item.find('-');
        int first = 0;
        if (dash == std::string_view::npos) {
            if (!ParseFrameNumber(item, first)) {
                throw refuse(item.empty() ? "an empty item" : "\"" + std::string(item) + "\" is not a frame");
            }
            frames.push_back(first);
            continue;
        }
        const std::string_view rest = item.substr(dash + 1);
        const size_t x = rest.find('x');
        int last = 0;
        int step = 1;
        if (!ParseFrameNumber(item.substr(0, dash), first) || !ParseFrameNumber(rest.substr(0, x), last) ||
            (x != std::string_view::npos && (!ParseFrameNumber(rest.substr(x + 1), step) || step == 0))) {
            throw refuse("\"" + std::string(item) + "\" is not a range");
        }
        if (first > last) {
            throw refuse("the range " + std::string(item) + " runs backwards");
        }
        for (long frame = first; frame <= last; frame += step) {
            if (frames.size() == kMaxFrameCount) {
                throw refuse("more than " + std::to_string(kMaxFrameCount) + " frames");
            }
            frames.push_back(static_cast<int>(frame));
        }
    } while (start <= text.size());
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

} // namespace prismora::cli
