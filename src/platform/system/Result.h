#pragma once
// Result: what an operation that can fail hands back, either its value or an
// Error saying in words what went wrong. Status (Result<void>) is the same
// for operations that make nothing. A caller that needs more than words from
// a failure (an exit status beside its message) names its own failure type
// E, which has a `message` too. Failures travel as values this way
// instead of a bool beside a separate "last error" or a sentinel inside a
// value.
//
// Plain values: no ownership beyond what T owns, no thread rules beyond T's.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tintreel {

struct Error {
    std::string message;
};

template <class T, class E = Error>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only on success.
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only on failure.
    const E& failure() const { return std::get<1>(state_); }
    const std::string& error() const { return failure().message; }

private:
    std::variant<T, E> state_;
};

template <>
class [[nodiscard]] Result<void, Error> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    // Only on failure.
    const std::string& error() const { return error_->message; }

private:
    std::optional<Error> error_;
};

using Status = Result<void>;

}  // namespace tintreel
