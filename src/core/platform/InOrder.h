#pragma once

#include <cstddef>
#include <functional>

namespace pictrove::platform {

// Runs work(i) for every i in [0, count) on up to `threads` threads and use(i) on the
// calling thread in order of i, each once work(i) has returned. A worker starts work(i)
// only while i < (the index being used) + `ahead`, so at most about `ahead` finished
// results wait in memory. When use(i) returns false, no further use() is called, no
// further work() starts, and the call returns once the running ones have ended.
//
// work(i) may touch only what belongs to i; use(i) sees everything work(i) wrote. With
// one thread (or one item) everything runs on the calling thread: work(0), use(0),
// work(1), ... Returns the number of items used (count when none stopped).
std::size_t inOrder(std::size_t count, int threads, std::size_t ahead,
                    const std::function<void(std::size_t)>& work,
                    const std::function<bool(std::size_t)>& use);

// The number of threads that `jobs` asks for: itself when positive, else the cores.
int threadsFor(int jobs);

}  // namespace pictrove::platform
