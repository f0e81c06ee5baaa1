#pragma once
// Row-block parallelism for the filter kernels: the one place that decides
// how a picture's rows are split between oneTBB's worker threads.
//
// The body receives a half-open range of rows [y0, y1) and must only write
// rows of that range; it runs concurrently with other blocks, so it takes no
// locks and shares nothing mutable but per-thread scratch memory.

#include "platform/filters/CancelScope.h"
#include "platform/filters/LargeBuffers.h"
#include "platform/system/HandOver.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

namespace tintreel {

// Blocks of a few rows keep the scheduling overhead small while leaving
// enough pieces for the threads to balance uneven rows (a circle, a dot).
inline constexpr int kRowGrain = 8;

// Splits [0, height) into blocks of at least `grain` rows.
// oneTBB orders the blocks after the caller's writes, and the caller's
// return after the blocks, through atomics inside its library where
// ThreadSanitizer cannot see them; the hand-over marks state that order (two
// channels per call, so the blocks stay unordered among themselves; what
// ThreadSanitizer still reports of them is in scripts/sanitizers/tsan.supp).
// The calling thread's cancel flag (CancelScope.h) is checked before each
// block: once it is raised, blocks not yet begun are skipped. Each block runs
// under the flag its kernel started with (a worker thread may take blocks of
// several kernels in turn), so rows split again inside a block stop alike.
template <typename Body>
void forEachRowBlock(int height, int grain, Body&& body) {
    if (height <= 0) return;
    alignas(8) const char started = 0;
    alignas(8) const char finished = 0;
    const std::atomic<bool>* const cancel = CancelScope::current();
    publishHandOver(&started);
    tbb::parallel_for(tbb::blocked_range<int>(0, height, std::max(grain, 1)),
                      [&body, &started, &finished, cancel](const tbb::blocked_range<int>& r) {
                          receiveHandOver(&started);
                          if (!CancelScope::isRaised(cancel)) {
                              const CancelScope sameFlag(cancel);
                              body(r.begin(), r.end());
                          }
                          publishHandOver(&finished);
                      });
    receiveHandOver(&finished);
}

template <typename Body>
void forEachRowBlock(int height, Body&& body) {
    forEachRowBlock(height, kRowGrain, std::forward<Body>(body));
}

// Rows [y0, y1) of a block in tiles a few cache lines wide, row by row within
// each tile. Kernels whose samples wander across the input (a turn, a swirl)
// then read a compact patch of it while that patch is still in cache.
inline constexpr int kTileWidth = 64;

template <typename Body>
void forEachTile(int y0, int y1, int width, Body&& body) {
    for (int x0 = 0; x0 < width; x0 += kTileWidth)
        for (int y = y0; y < y1; ++y) body(y, x0, std::min(x0 + kTileWidth, width));
}

// Working memory for one block of rows, kept per thread and per `Slot` and
// reused by later blocks and later pictures: allocating it afresh for every
// block makes the allocator hand memory back to the system and fault it in
// again, which costs more than the kernels themselves. The contents are
// left from earlier use; callers initialise what they read. A body must not
// hold two spans of the same slot, and nothing it calls may use its slots.
template <typename T, int Slot = 0>
std::span<T> threadScratch(std::size_t count) {
    thread_local std::vector<T, LargeAllocator<T>> buffer;
    if (buffer.size() < count) buffer.resize(count);
    return {buffer.data(), count};
}

}  // namespace tintreel
