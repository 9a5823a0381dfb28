// Numbered file names for image sequences, in the conventions of oiiotool and
// render-farm tools: in.####.png, in.@@@.png or in.%04d.png, and frame lists
// such as 1-240, 1-240x2 or 1,5,9-12.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace prismora::cli {

class FramePattern {
public:
    // The pattern in a path's file name, or nullopt when it has none. A run of
    // '@' is one digit each, a run of '#' one digit each except that a lone '#'
    // is four, and %d or %0Nd is printf's. Throws UsageError when the name holds
    // more than one frame number.
    static std::optional<FramePattern> Find(const std::filesystem::path &path);

    // The file name of one frame: the number padded with zeros to the
    // pattern's width, wider when the number needs it.
    std::filesystem::path For(int frame) const;
    // The frames whose files exist in the pattern's folder, ascending.
    std::vector<int> FramesOnDisk() const;
    const std::string &text() const { return text_; }

private:
    std::filesystem::path folder_;
    std::string prefix_; // of the file name, before the number
    std::string suffix_;
    int width_ = 0; // the fewest digits written
    std::string text_;
};

// The frames a --frames value names, ascending and each once: numbers, ranges
// FIRST-LAST (FIRST <= LAST) and ranges with a step FIRST-LASTxSTEP, separated
// by commas. Throws UsageError with one line for anything else.
std::vector<int> ParseFrameList(const std::string &text);

} // namespace prismora::cli
