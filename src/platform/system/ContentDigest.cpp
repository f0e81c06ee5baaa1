#include "platform/system/ContentDigest.h"

#include <QCryptographicHash>
#include <array>

namespace tintreel {

namespace {

// 128 bits: far beyond any accidental match, and a tag short enough to read.
constexpr qsizetype kDigestBytes = 16;

}  // namespace

struct ContentDigest::Impl {
    QCryptographicHash hash{QCryptographicHash::Sha256};
};

ContentDigest::ContentDigest() : impl_(std::make_unique<Impl>()) {}
ContentDigest::~ContentDigest() = default;

ContentDigest& ContentDigest::add(std::span<const std::uint8_t> bytes) {
    impl_->hash.addData(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return *this;
}

ContentDigest& ContentDigest::add(std::string_view text) {
    add(static_cast<std::int64_t>(text.size()));
    impl_->hash.addData(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return *this;
}

ContentDigest& ContentDigest::add(std::int64_t number) {
    std::array<std::uint8_t, 8> bytes{};
    auto value = static_cast<std::uint64_t>(number);
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(value & 0xff);
        value >>= 8;
    }
    return add(bytes);
}

std::string ContentDigest::hex() const {
    return impl_->hash.result().left(kDigestBytes).toHex().toStdString();
}

}  // namespace tintreel
