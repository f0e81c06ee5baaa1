#pragma once
// Whether this build runs under ThreadSanitizer (GCC and clang spell it
// differently): the one place that tells, for the code that must know.

#if defined(__SANITIZE_THREAD__)
#define TINTREEL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TINTREEL_THREAD_SANITIZER 1
#endif
#endif
