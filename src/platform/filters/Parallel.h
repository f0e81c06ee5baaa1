#pragma once
// Row-block parallelism for the filter kernels: the one place that decides
// how a picture's rows are split between oneTBB's worker threads.
//
// The body receives a half-open range of rows [y0, y1) and must only write
// rows of that range; it runs concurrently with other blocks, so it takes no
// locks and shares nothing mutable.

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

namespace tintreel {

template <typename Body>
void forEachRowBlock(int height, Body&& body) {
    if (height <= 0) return;
    // Blocks of a few rows keep the scheduling overhead small while leaving
    // enough pieces for the threads to balance uneven rows (a circle, a dot).
    constexpr int kGrain = 8;
    tbb::parallel_for(tbb::blocked_range<int>(0, height, kGrain),
                      [&body](const tbb::blocked_range<int>& r) { body(r.begin(), r.end()); });
}

}  // namespace tintreel
