#include "cli/interrupt_guard.h"

#include <atomic>
#include <csignal>

namespace prismora::cli {

namespace {

// A signal handler can reach nothing but a global; a lock-free atomic is both
// async-signal-safe and safe to read from the render threads.
std::atomic<int> g_received{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void RaiseFlag(int sig)
{
    g_received.store(sig, std::memory_order_relaxed);
}

} // namespace

InterruptGuard::InterruptGuard()
{
    g_received.store(0);
    previous_int_ = std::signal(SIGINT, RaiseFlag);
    previous_term_ = std::signal(SIGTERM, RaiseFlag);
}

InterruptGuard::~InterruptGuard()
{
    std::signal(SIGINT, previous_int_ == SIG_ERR ? SIG_DFL : previous_int_);
    std::signal(SIGTERM, previous_term_ == SIG_ERR ? SIG_DFL : previous_term_);
}

int InterruptGuard::signal() const
{
    return g_received.load(std::memory_order_relaxed);
}

} // namespace prismora::cli
