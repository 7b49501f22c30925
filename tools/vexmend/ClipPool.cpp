#include "ClipPool.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The indices not yet handed out and the first failure; shared by the threads.
class Queue {
public:
    explicit Queue(size_t count) : count(count) {}

    // The next index, or false when all are handed out or a call failed.
    bool Next(size_t& index)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (failure || next == count) return false;
        index = next++;
        return true;
    }

    void Fail(std::exception_ptr error)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure) failure = error;
    }

    void ThrowIfFailed() const
    {
        if (failure) std::rethrow_exception(failure);
    }

private:
    std::mutex mutex;
    const size_t count;
    size_t next = 0;
    std::exception_ptr failure;
};

// Threads joined when the scope ends, also when starting one of them fails.
struct Workers {
    std::vector<std::thread> threads;
    ~Workers()
    {
        for (std::thread& thread : threads) thread.join();
    }
};

}  // namespace

void RunClipPool(size_t count, int threads, const std::function<void(size_t)>& work)
{
    Queue queue(count);
    auto worker = [&queue, &work] {
        for (size_t index; queue.Next(index);) {
            try {
                work(index);
            } catch (...) {
                queue.Fail(std::current_exception());
            }
        }
    };
    {
        Workers workers;
        const size_t wanted = std::min(count, static_cast<size_t>(std::max(threads, 1)));
        try {
            while (workers.threads.size() < wanted) workers.threads.emplace_back(worker);
        } catch (...) {
            // The threads started end after their clip under way.
            queue.Fail(std::current_exception());
        }
    }
    queue.ThrowIfFailed();
}
