#pragma once

#include <cstdint>

namespace drill {

// The program's 32-bit linear congruential generator: seed := seed × 134775813 + 1 (mod 2^32), and a
// draw over n values is the high half of the 64-bit product seed × n, so it is uniform without a
// modulo bias worth speaking of and every seed gives the same sequence on every machine.
class Random {
public:
    explicit Random(std::uint32_t seed = 0) : m_seed(seed) {}

    void reseed(std::uint32_t seed) { m_seed = seed; }
    std::uint32_t seed() const { return m_seed; }

    // A value in 0..n-1; n = 0 yields 0.
    std::uint32_t draw(std::uint32_t n) {
        m_seed = m_seed * 134775813u + 1u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(m_seed) * n) >> 32);
    }

private:
    std::uint32_t m_seed;
};

} // namespace drill
