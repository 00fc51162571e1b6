#include "platform/os/random.h"

#include <cstdint>

namespace plat {
namespace {

constexpr int kDegree = 31;  // words of state
constexpr int kSeparation = 3;
constexpr int kWarmUp = 10 * kDegree;

struct Generator {
    std::uint32_t state[kDegree];
    int front = kSeparation;
    int rear = 0;

    void Seed(unsigned seed) {
        std::int32_t word = seed == 0 ? 1 : static_cast<std::int32_t>(seed);
        state[0] = static_cast<std::uint32_t>(word);
        for (int i = 1; i < kDegree; ++i) {
            // 16807 * word mod (2^31 - 1), without overflowing 31 bits
            const std::int32_t hi = word / 127773, lo = word % 127773;
            word = 16807 * lo - 2836 * hi;
            if (word < 0) word += 2147483647;
            state[i] = static_cast<std::uint32_t>(word);
        }
        front = kSeparation;
        rear = 0;
        for (int i = 0; i < kWarmUp; ++i) Next();
    }

    int Next() {
        state[front] += state[rear];
        const int result = static_cast<int>(state[front] >> 1);
        if (++front >= kDegree) front = 0;
        if (++rear >= kDegree) rear = 0;
        return result;
    }

    Generator() { Seed(1); }
};

Generator& Self() {
    static Generator generator;
    return generator;
}

}  // namespace

void SeedRandom(unsigned seed) { Self().Seed(seed); }

int Random() { return Self().Next(); }

}  // namespace plat
