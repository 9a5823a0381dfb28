// The host's render threads. One pool serves every frame the host renders at
// once and every split of a frame's work, so frames and their rows together
// never run on more threads than the pool has. A thread that hands the pool a
// batch works on that batch itself while it waits, so a batch started from a
// pool thread (a frame splitting its rows) cannot deadlock.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace prismora::hostsim {

class ThreadPool {
public:
    // threads: how many threads work at most, the calling thread included
    // (at least 1; 0 means one per core).
    explicit ThreadPool(int threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool &) = delete;
    ThreadPool &operator=(const ThreadPool &) = delete;

    int size() const { return static_cast<int>(workers_.size()) + 1; }

    // Calls fn(thread_index, i) once for every i in [0, count), in any order
    // and on any pool thread or the calling one (thread index 0), and returns
    // when all are done. The first exception a call threw is rethrown then.
    void Run(long count, const std::function<void(int, long)> &fn);

private:
    struct Batch {
        const std::function<void(int, long)> *fn;
        long count;
        long next = 0; // the next index to hand out
        long done = 0;
        std::exception_ptr error;
    };

    // Hands out index i of the batch at the front; false when the queue is empty.
    bool Take(std::unique_lock<std::mutex> &lock, Batch *only, Batch *&batch, long &i);
    void Execute(std::unique_lock<std::mutex> &lock, Batch &batch, long i, int thread_index);
    void WorkerLoop(int thread_index);

    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable batch_done_;
    std::deque<Batch *> queue_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace prismora::hostsim
