// The decimal direction on random texts of the forms people type: integers (some out of range),
// decimals with the point anywhere, values below 1 with leading zeros, exponent notation; each
// result must be the reference's (reference::decimal_problem). Text i of a seed is the same
// whatever the number of cores.
// Usage: check_decimal_random COUNT [SEED]

#include "reference.hpp"

namespace {

// The text that the generator state `state` gives.
std::string random_text(std::uint64_t state)
{
    // splitmix64: cheap to seed, so that every text has a generator of its own.
    auto pick = [&state](std::uint64_t low, std::uint64_t high) {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15U);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9U;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBU;
        return static_cast<std::size_t>(low + (z ^ (z >> 31)) % (high - low + 1));
    };
    // Up to 9 significant digits, the first not 0.
    std::string digits(1, static_cast<char>('0' + pick(1, 9)));
    for (std::size_t count = pick(1, 9); digits.size() < count;) {
        digits += static_cast<char>('0' + pick(0, 9));
    }
    std::string text = pick(0, 3) == 0 ? "-" : "";
    switch (pick(0, 4)) {
    case 0:  // an integer, some out of range
        return text.append(std::to_string(pick(0, 3) == 0 ? pick(0, 20000000) : pick(0, 9999)));
    case 1:  // below 1, with leading zeros
        return text.append("0.").append(pick(0, 45), '0').append(digits);
    default:  // the point anywhere, also first or last, or none; in two of three an exponent part
        const std::size_t point = pick(0, digits.size());
        text.append(digits, 0, point).append(pick(0, 3) == 0 ? "" : ".").append(digits, point);
        if (pick(0, 2) == 0) {
            return text;
        }
        text.append(pick(0, 1) == 0 ? "e" : "E").append(pick(0, 4) == 0 ? (pick(0, 1) == 0 ? "+" : "") : "-");
        return text.append(std::to_string(text.back() == '-' ? pick(0, 50) : pick(0, 12)));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 300000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261207;
    return reference::run("random decimal texts", count, [&](std::uint64_t index) {
        return reference::decimal_problem(1, random_text(seed ^ (index * 0xD1B54A32D192ED03U)));
    }) == 0 ? 0 : 1;
}
