// A value, or the reason it could not be had.
//
// Every step that reads a volume can meet data it must refuse; the refusal's
// reason travels up to the person looking at the screen, so it is kept in
// words rather than as a code.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace verandol {

template <class T>
class Outcome {
public:
    Outcome(T value) : value_(std::move(value)) {}  // NOLINT: implicit on purpose, `return value;`

    static Outcome Refused(std::string reason) {
        Outcome o;
        o.reason_ = std::move(reason);
        return o;
    }

    explicit operator bool() const { return value_.has_value(); }
    bool has_value() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    // Why there is no value; empty when there is one.
    const std::string& reason() const { return reason_; }

private:
    Outcome() = default;
    std::optional<T> value_;
    std::string reason_;
};

// `return Refusal("why");` from a function returning any Outcome<T>.
struct Refusal {
    std::string reason;
    explicit Refusal(std::string why) : reason(std::move(why)) {}
    template <class T>
    operator Outcome<T>() && {  // NOLINT: implicit on purpose
        return Outcome<T>::Refused(std::move(reason));
    }
};

}  // namespace verandol
