#pragma once
// Result: what an operation that can fail hands back, either its value or an
// Error saying in words what went wrong. Status (Result<void>) is the same
// for operations that make nothing. Failures travel as values this way
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

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

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
    const std::string& error() const { return std::get<1>(state_).message; }

private:
    std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
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
