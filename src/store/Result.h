#pragma once

#include <optional>
#include <string>
#include <utility>

namespace ks {

// Success, or failure with the text of the underlying error.
class Status {
public:
    static Status success() { return Status(); }
    static Status failure(std::string error) { return Status(std::move(error)); }

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return *error_; }

private:
    Status() = default;
    explicit Status(std::string error) : error_(std::move(error)) {}
    std::optional<std::string> error_;
};

// A value, or the text of the error that kept it from being had.
template <typename T>
class Expected {
public:
    Expected(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
    Expected(Status failed) : error_(failed.error()) {}  // NOLINT: implicit by design

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const std::string& error() const { return error_; }
    Status status() const { return ok() ? Status::success() : Status::failure(error_); }

private:
    std::optional<T> value_;
    std::string error_;
};

}  // namespace ks
