#pragma once

#include <optional>
#include <string>
#include <utility>

namespace ks {

// Success, or failure with the text of the underlying error.
class Result {
public:
    static Result success() { return Result(); }
    static Result failure(std::string error) { return Result(std::move(error)); }

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Empty for a success.
    const std::string& error() const {
        static const std::string none;
        return error_ ? *error_ : none;
    }

private:
    Result() = default;
    explicit Result(std::string error) : error_(std::move(error)) {}
    std::optional<std::string> error_;
};

// The error an Expected carries when it was made from a success, which has
// no value to give: a programming error, reported as a failure like any other.
inline constexpr const char* kSuccessWithoutValue = "A success was given where a value was due.";

// A value, or the text of the error that kept it from being had.
template <typename T>
class Expected {
public:
    Expected(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
    Expected(Result failed)                          // NOLINT: implicit by design
        : error_(failed.ok() ? std::string(kSuccessWithoutValue) : failed.error()) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const std::string& error() const { return error_; }
    Result status() const { return ok() ? Result::success() : Result::failure(error_); }

private:
    std::optional<T> value_;
    std::string error_;
};

}  // namespace ks
