#pragma once
// ContentDigest: a short fingerprint of some bytes, for telling apart things
// that should be the same (the movie two slices were cut from, the look two
// slices were rendered with). SHA-256, cut to 128 bits and written as 32
// lowercase hex digits: the same input gives the same text on every machine,
// and a mismatch by accident is out of the question. Not for secrets.
//
// Ownership: owns its running state. Threads: one thread at a time.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tintreel {

class ContentDigest {
public:
    ContentDigest();
    ~ContentDigest();
    ContentDigest(const ContentDigest&) = delete;
    ContentDigest& operator=(const ContentDigest&) = delete;

    ContentDigest& add(std::span<const std::uint8_t> bytes);
    // The text and its length, so that "ab" + "c" differs from "a" + "bc".
    ContentDigest& add(std::string_view text);
    // The number's eight bytes, lowest first, whatever the machine's order.
    ContentDigest& add(std::int64_t number);

    // The digest of everything added so far.
    std::string hex() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tintreel
