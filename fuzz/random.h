// The fuzzer's random numbers: one generator per input, seeded from the run's
// seed, the input kind and the input's index, so that any input can be made
// again on its own and a run can start at any index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        // splitmix64
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Word() { return uint32_t(Next() >> 32); }
    uint32_t Below(uint32_t n) { return n ? uint32_t((Next() >> 32) * n >> 32) : 0; }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    template <typename T>
    const T& Pick(const std::vector<T>& items) { return items[Below(uint32_t(items.size()))]; }

private:
    uint64_t state_;
};

inline uint64_t InputSeed(uint32_t seed, const std::string& kind, uint32_t index) {
    uint64_t hash = 0xCBF29CE484222325ull;   // FNV-1a over the kind's name
    for (char c : kind) hash = (hash ^ uint8_t(c)) * 0x100000001B3ull;
    Rng mix(hash ^ (uint64_t(seed) << 32 | index));
    return mix.Next();
}

}  // namespace fuzz
