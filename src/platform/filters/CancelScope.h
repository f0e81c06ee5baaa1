#pragma once
// CancelScope: lets a render stop a filter that is running on a frame.
//
// A scope names the cancel flag of the work on the thread that creates it,
// for as long as it lives; scopes nest, the innermost wins. The row-block
// helper (Parallel.h) reads the calling thread's flag when a kernel starts
// and checks it before each block of rows, so a raised flag skips the blocks
// not yet begun. A filter that returns under a raised flag has left some rows
// unwritten: the caller checks the flag after `apply` and throws the picture
// away. Without a scope nothing changes.
//
// The scope belongs to the thread that created it and must end on it; the
// flag must outlive the scope and every kernel started inside it. Any thread
// may raise the flag.

#include <atomic>
#include <utility>

namespace tintreel {

class CancelScope {
public:
    explicit CancelScope(const std::atomic<bool>& flag) : CancelScope(&flag) {}
    // Null stands for no flag: the work inside cannot be cancelled.
    explicit CancelScope(const std::atomic<bool>* flag) : previous_(std::exchange(current_, flag)) {}
    ~CancelScope() { current_ = previous_; }
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

    // The flag of the innermost scope on this thread, or null outside any.
    static const std::atomic<bool>* current() { return current_; }

    // Relaxed: the flag only asks to stop; nothing is read on the strength of it.
    static bool isRaised(const std::atomic<bool>* flag) {
        return flag != nullptr && flag->load(std::memory_order_relaxed);
    }

private:
    const std::atomic<bool>* previous_;
    static inline thread_local const std::atomic<bool>* current_ = nullptr;
};

}  // namespace tintreel
