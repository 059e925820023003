// Arithmetic on numbers read from a volume, which may be anything: every sum
// and product either fits or says it does not.
#pragma once

#include <cstdint>
#include <optional>

namespace verandol {

// True when a + b (a - b, a * b) does not fit in `out`; `out` then holds the
// wrapped value and must not be used.
template <class A, class B, class T>
[[nodiscard]] constexpr bool AddOverflows(A a, B b, T& out) {
    return __builtin_add_overflow(a, b, &out);
}
template <class A, class B, class T>
[[nodiscard]] constexpr bool SubOverflows(A a, B b, T& out) {
    return __builtin_sub_overflow(a, b, &out);
}
template <class A, class B, class T>
[[nodiscard]] constexpr bool MulOverflows(A a, B b, T& out) {
    return __builtin_mul_overflow(a, b, &out);
}

// The sum or product when it fits in T; nullopt otherwise.
template <class T>
constexpr std::optional<T> CheckedAdd(T a, T b) {
    T out;
    if (AddOverflows(a, b, out)) return std::nullopt;
    return out;
}
template <class T>
constexpr std::optional<T> CheckedMul(T a, T b) {
    T out;
    if (MulOverflows(a, b, out)) return std::nullopt;
    return out;
}

// For lengths that only need to reach far enough: INT64_MAX instead of a
// value that does not fit (the inputs are not negative where these are used).
constexpr std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t out;
    return AddOverflows(a, b, out) ? INT64_MAX : out;
}
constexpr std::int64_t SaturatingMul(std::int64_t a, std::int64_t b) {
    std::int64_t out;
    return MulOverflows(a, b, out) ? INT64_MAX : out;
}

}  // namespace verandol
