#include "hostsim/thread_pool.h"

#include <algorithm>

namespace prismora::hostsim {

ThreadPool::ThreadPool(int threads)
{
    if (threads <= 0) {
        threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    }
    for (int t = 1; t < threads; ++t) {
        workers_.emplace_back([this, t] { WorkerLoop(t); });
    }
}

ThreadPool::~ThreadPool()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread &worker : workers_) {
        worker.join();
    }
}

bool ThreadPool::Take(std::unique_lock<std::mutex> &, Batch *only, Batch *&batch, long &i)
{
    if (only != nullptr) {
        if (only->next >= only->count) {
            return false;
        }
        batch = only;
    } else {
        if (queue_.empty()) {
            return false;
        }
        batch = queue_.front();
    }
    i = batch->next++;
    if (batch->next == batch->count) {
        queue_.erase(std::find(queue_.begin(), queue_.end(), batch));
    }
    return true;
}

void ThreadPool::Execute(std::unique_lock<std::mutex> &lock, Batch &batch, long i, int thread_index)
{
    lock.unlock();
    std::exception_ptr error;
    try {
        (*batch.fn)(thread_index, i);
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    if (error && !batch.error) {
        batch.error = error;
    }
    if (++batch.done == batch.count) {
        batch_done_.notify_all();
    }
}

void ThreadPool::WorkerLoop(int thread_index)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        Batch *batch = nullptr;
        long i = 0;
        if (!Take(lock, nullptr, batch, i)) {
            return; // stopping with nothing left
        }
        Execute(lock, *batch, i, thread_index);
    }
}

void ThreadPool::Run(long count, const std::function<void(int, long)> &fn)
{
    if (count <= 0) {
        return;
    }
    Batch batch{&fn, count, 0, 0, nullptr};
    std::unique_lock lock(mutex_);
    queue_.push_back(&batch);
    work_ready_.notify_all();
    Batch *taken = nullptr;
    long i = 0;
    while (Take(lock, &batch, taken, i)) {
        Execute(lock, batch, i, 0);
    }
    batch_done_.wait(lock, [&batch] { return batch.done == batch.count; });
    if (batch.error) {
        std::rethrow_exception(batch.error);
    }
}

} // namespace prismora::hostsim
