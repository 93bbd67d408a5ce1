// What every fuzz target shares: an invariant check that stops the run with what it
// compared (libFuzzer then keeps the input as a crash), and the input as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// Aborts with the condition and a printf-style account of the values compared.
#define FUZZ_EXPECT(cond, ...)                                                  \
    do {                                                                        \
        if (!(cond)) {                                                          \
            std::fprintf(stderr, "fuzz: invariant broken: %s\n  ", #cond);      \
            std::fprintf(stderr, __VA_ARGS__);                                  \
            std::fputc('\n', stderr);                                           \
            std::abort();                                                       \
        }                                                                       \
    } while (0)

namespace fuzz {

inline std::string_view Text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzz
