#include "core/platform/InOrder.h"

#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace pictrove::platform {

int threadsFor(int jobs) {
    return jobs > 0 ? jobs : qMax(1, QThread::idealThreadCount());
}

std::size_t inOrder(std::size_t count, int threads, std::size_t ahead,
                    const std::function<void(std::size_t)>& work,
                    const std::function<bool(std::size_t)>& use) {
    if (threads <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
            if (!use(i)) {
                return i + 1;
            }
        }
        return count;
    }
    ahead = std::max<std::size_t>(ahead, 1);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> done(count, 0);
    std::size_t next = 0;     // the next item a worker takes
    std::size_t current = 0;  // the item the caller waits for or uses
    bool stopping = false;

    auto worker = [&] {
        for (;;) {
            std::size_t i = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock,
                             [&] { return stopping || next >= count || next < current + ahead; });
                if (stopping || next >= count) {
                    return;
                }
                i = next++;
            }
            work(i);
            {
                const std::lock_guard lock(mutex);
                done[i] = 1;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    const std::size_t workers = std::min<std::size_t>(std::size_t(threads), count);
    for (std::size_t t = 0; t < workers; ++t) {
        pool.emplace_back(worker);
    }
    std::size_t used = 0;
    for (; used < count; ++used) {
        {
            std::unique_lock lock(mutex);
            current = used;
            changed.notify_all();
            changed.wait(lock, [&] { return done[used] != 0; });
        }
        if (!use(used)) {
            ++used;
            break;
        }
    }
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    for (std::thread& t : pool) {
        t.join();
    }
    return used;
}

}  // namespace pictrove::platform
