// Ctrl-C (SIGINT) and SIGTERM during a sequence job: while a guard lives, they
// only raise a flag, which the job reads between frames to stop cleanly
// (frames in flight finish and are written whole, no new frame starts).
#pragma once

namespace prismora::cli {

class InterruptGuard {
public:
    InterruptGuard();  // installs the handlers; one guard at a time
    ~InterruptGuard(); // puts the previous handlers back
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    // The signal that arrived, or 0.
    int signal() const;

private:
    void (*previous_int_)(int);
    void (*previous_term_)(int);
};

} // namespace prismora::cli
