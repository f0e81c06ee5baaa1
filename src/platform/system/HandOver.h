#pragma once
// Calls handed to another thread through a queue whose lock ThreadSanitizer
// cannot see: one inside a library we do not build, such as Qt's thread pool
// and event queues. A `HandedOver` call states the ordering those locks really
// give: everything the sending thread wrote before the call was stored in the
// queue (the call itself included) is seen by the receiving thread before it
// runs the call, and the call is over before either side frees it (the queue
// may let the sender free it once the receiver is done). So the detector
// still checks everything else our threads share. Outside ThreadSanitizer
// builds the wrapper costs nothing.

#include <utility>

#include "platform/system/SanitizerBuild.h"

#ifdef TINTREEL_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace tintreel {

// Everything this thread wrote so far is seen by any thread that later
// receives from the same channel (any address standing for the hand-over).
inline void publishHandOver([[maybe_unused]] const void* channel) {
#ifdef TINTREEL_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(channel));
#endif
}

inline void receiveHandOver([[maybe_unused]] const void* channel) {
#ifdef TINTREEL_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(channel));
#endif
}

template <typename Call>
class HandedOver {
public:
    explicit HandedOver(Call call) : call_(std::move(call)) { publish(); }
    // The queue copies or moves the call into its own storage; publishing at
    // the end of that covers the storage too.
    HandedOver(const HandedOver& other) : call_(other.call_) { publish(); }
    HandedOver(HandedOver&& other) noexcept : call_(std::move(other.call_)) { publish(); }
    HandedOver& operator=(const HandedOver&) = delete;
    HandedOver& operator=(HandedOver&&) = delete;
    ~HandedOver() { receive(); }

    void operator()() {
        receive();
        call_();
        publish();
    }

private:
    // One channel per call site (each wrapped lambda has a type of its own),
    // found without reading the call's storage before it is received.
    static void publish() { publishHandOver(&channel_); }
    static void receive() { receiveHandOver(&channel_); }

    static inline char channel_ = 0;
    Call call_;
};

}  // namespace tintreel
