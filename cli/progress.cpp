#include "cli/progress.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace prismora::cli {

namespace {

bool StderrIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

// A redraw per frame would flicker when frames are quick.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string Duration(double seconds)
{
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof(text), "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof(text), "%ld:%02ld", s / 60, s % 60);
    }
    return text;
}

} // namespace

ProgressStyle ProgressStyleFor(const std::ostream &err, bool quiet)
{
    if (quiet) {
        return ProgressStyle::kQuiet;
    }
    return &err == &std::cerr && StderrIsTerminal() ? ProgressStyle::kLive : ProgressStyle::kLines;
}

Progress::Progress(std::ostream &err, ProgressStyle style, int total)
    : err_(err), style_(style), total_(total)
{
    if (style_ == ProgressStyle::kLive) {
        std::lock_guard lock(mutex_);
        Draw(true);
    }
}

int Progress::done() const
{
    std::lock_guard lock(mutex_);
    return done_;
}

double Progress::seconds() const
{
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

std::string Progress::Status() const
{
    std::string text = std::to_string(done_) + "/" + std::to_string(total_) + " frames";
    if (failed_ > 0) {
        text += ", " + std::to_string(failed_) + " failed";
    }
    if (done_ > 0) {
        const double rate = done_ / seconds();
        char fps[32];
        std::snprintf(fps, sizeof(fps), "%.2f fps", rate);
        text += ", " + std::string(fps);
        if (done_ + failed_ < total_) {
            text += ", " + Duration((total_ - done_ - failed_) / rate) + " left";
        }
    }
    return text;
}

void Progress::ClearLine()
{
    if (drawn_width_ > 0) {
        err_ << '\r' << std::string(drawn_width_, ' ') << '\r';
        drawn_width_ = 0;
    }
}

void Progress::Draw(bool force)
{
    const Clock::time_point now = Clock::now();
    if (!force && now - drawn_ < kRedrawEvery) {
        return;
    }
    const std::string line = "prismora: " + Status();
    err_ << '\r' << line;
    if (line.size() < drawn_width_) {
        err_ << std::string(drawn_width_ - line.size(), ' ') << '\r' << line;
    }
    err_ << std::flush;
    drawn_width_ = line.size();
    drawn_ = now;
}

void Progress::FrameDone(int frame)
{
    std::lock_guard lock(mutex_);
    ++done_;
    if (style_ == ProgressStyle::kLive) {
        Draw(done_ + failed_ == total_);
    } else if (style_ == ProgressStyle::kLines) {
        err_ << "prismora: frame " << frame << " done, " << Status() << "\n" << std::flush;
    }
}

void Progress::FrameFailed(int frame, const std::string &why)
{
    std::lock_guard lock(mutex_);
    ++failed_;
    ClearLine();
    err_ << "prismora: frame " << frame << ": " << why << "\n";
    if (style_ == ProgressStyle::kLive) {
        Draw(true);
    }
    err_ << std::flush;
}

void Progress::Finish()
{
    std::lock_guard lock(mutex_);
    if (style_ == ProgressStyle::kLive && drawn_width_ > 0) {
        Draw(true);
        err_ << "\n" << std::flush;
        drawn_width_ = 0;
    }
}

} // namespace prismora::cli
