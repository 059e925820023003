// What a fuzz entry treats as a fault besides what the sanitizers catch.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace verandol::fuzz {

// Aborting is how both libFuzzer and a replaying test learn of a broken
// promise; an exception could be swallowed by the code under test.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: broken promise: %s\n", file, line, what);
    std::abort();
}

}  // namespace verandol::fuzz

#define VERANDOL_FUZZ_CHECK(condition) \
    ((condition) ? void(0) : ::verandol::fuzz::Fail(#condition, __FILE__, __LINE__))
