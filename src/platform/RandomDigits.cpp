#include "platform/RandomDigits.h"

#include <chrono>
#include <random>

namespace linkhaul::platform {

std::string randomDigits(int count) {
    // A fresh seed per call, mixing the OS entropy source with the clock so
    // that two calls in the same millisecond still differ.
    std::random_device device;
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::seed_seq seed{device(), device(), static_cast<unsigned>(ticks),
                       static_cast<unsigned>(ticks >> 32)};
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> digit(0, 9);
    std::string out;
    out.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (int i = 0; i < count; ++i) {
        out.push_back(static_cast<char>('0' + digit(generator)));
    }
    return out;
}

}  // namespace linkhaul::platform
