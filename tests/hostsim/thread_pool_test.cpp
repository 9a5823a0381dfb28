// The host's render threads: frames and the rows they split share one pool.
#include "hostsim/thread_pool.h"

#include <atomic>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace prismora::hostsim {
namespace {

TEST(ThreadPool, NestedBatchesRunEveryIndexOnceOnNoMoreThreadsThanThePoolHas)
{
    ThreadPool pool(3);
    ASSERT_EQ(pool.size(), 3);
    constexpr long kFrames = 24;
    constexpr long kRows = 40;
    std::vector<std::atomic<int>> hits(kFrames * kRows);
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    // Each frame, itself on a pool thread, splits its rows over the same pool.
    pool.Run(kFrames, [&](int, long frame) {
        pool.Run(kRows, [&](int thread, long row) {
            const int now = ++running;
            for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
            }
            EXPECT_GE(thread, 0);
            EXPECT_LT(thread, 3);
            ++hits[static_cast<size_t>(frame * kRows + row)];
            --running;
        });
    });
    for (const std::atomic<int> &h : hits) {
        ASSERT_EQ(h.load(), 1);
    }
    EXPECT_LE(most.load(), 3);

    std::atomic<int> calls{0};
    EXPECT_THROW(pool.Run(9,
                          [&](int, long i) {
                              ++calls;
                              if (i == 4) {
                                  throw std::runtime_error("band failed");
                              }
                          }),
                 std::runtime_error);
    EXPECT_EQ(calls.load(), 9) << "the other calls still run";
    EXPECT_GE(ThreadPool(0).size(), 1);
}

} // namespace
} // namespace prismora::hostsim
