// Progress of a sequence job on standard error: one line redrawn in place on a
// terminal, a plain line per frame otherwise (logs, pipes), or nothing.
// Failures are always shown. Safe to call from several threads.
#pragma once

#include <chrono>
#include <mutex>
#include <ostream>
#include <string>

namespace prismora::cli {

enum class ProgressStyle {
    kLive,  // a terminal: one line redrawn with carriage returns
    kLines, // one line per finished frame
    kQuiet, // nothing but failures
};

// kLive only when err is the process's standard error and that is a terminal.
ProgressStyle ProgressStyleFor(const std::ostream &err, bool quiet);

class Progress {
public:
    using Clock = std::chrono::steady_clock;

    // total: the frames to render; skipped frames are not counted.
    Progress(std::ostream &err, ProgressStyle style, int total);
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    void FrameDone(int frame);
    // One line "prismora: frame N: why", above the live line.
    void FrameFailed(int frame, const std::string &why);
    // Ends the live line so later output starts on a fresh one.
    void Finish();

    int done() const;
    double seconds() const;

private:
    std::string Status() const; // "12/48 frames, 1 failed, 3.1 fps, 0:11 left"
    void Draw(bool force);
    void ClearLine();

    std::ostream &err_;
    const ProgressStyle style_;
    const int total_;
    const Clock::time_point start_ = Clock::now();
    mutable std::mutex mutex_;
    int done_ = 0;
    int failed_ = 0;
    Clock::time_point drawn_{};
    size_t drawn_width_ = 0; // of the live line on screen, to blank what a shorter one leaves
};

} // namespace prismora::cli
