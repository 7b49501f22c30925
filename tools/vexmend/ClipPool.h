// The card mode's workers: the clips of a card taken on several threads at
// once, each thread taking the next clip as it becomes free.
#pragma once

#include <cstddef>
#include <functional>

// Runs work(index) for every index from 0 to count - 1 on `threads` threads
// (at least one, at most `count`), handing the indices out in order. The
// first exception a call throws (Stopped once a stop was asked for) stops the
// handing out; the calls under way go on to their end, and it is thrown
// again once every thread has ended.
void RunClipPool(size_t count, int threads, const std::function<void(size_t)>& work);
