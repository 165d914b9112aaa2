// The decimal direction on random texts of the forms people type: integers (some out of range),
// decimals with the point anywhere, values below 1 with leading zeros, exponent notation; each
// result must be the reference's for the value as the stream reads it. Text i of a seed is the
// same whatever the number of cores.
// Usage: check_decimal_random COUNT [SEED]

#include "decimal_to_binary/d2b.hpp"
#include "reference.hpp"

#include <sstream>

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
    auto digits = [&](std::size_t count) {
        std::string text(1, static_cast<char>('0' + pick(1, 9)));
        while (text.size() < count) {
            text += static_cast<char>('0' + pick(0, 9));
        }
        return text;
    };
    // Up to 9 significant digits with the point anywhere, also first or last, or no point.
    auto decimal = [&] {
        const std::string text = digits(pick(1, 9));
        const std::size_t point = pick(0, text.size());
        return point == text.size() && pick(0, 3) != 0 ? text : text.substr(0, point).append(".").append(text, point);
    };
    std::string text = pick(0, 3) == 0 ? "-" : "";
    switch (pick(0, 4)) {
    case 0:
        return text.append(std::to_string(pick(0, 3) == 0 ? pick(0, 20000000) : pick(0, 9999)));
    case 1:
        return text.append(decimal());
    case 2:
        return text.append("0.").append(pick(0, 45), '0').append(digits(pick(1, 9)));
    default:
        text.append(decimal()).append(pick(0, 1) == 0 ? "e" : "E");
        if (pick(0, 4) != 0) {
            return text.append("-").append(std::to_string(pick(0, 50)));
        }
        return text.append(pick(0, 1) == 0 ? "+" : "").append(std::to_string(pick(0, 12)));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 300000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261207;
    return reference::run("random decimal texts", count, [&](std::uint64_t index) {
        const std::string text = random_text(seed ^ (index * 0xD1B54A32D192ED03U));
        double value = 0.0;
        std::istringstream(text) >> value;
        std::ostringstream messages;
        D2B d2b(1, messages);
        d2b.setK(text);
        const std::string actual = messages.str() + d2b.convert();
        const std::string expected = reference::decimal_result(text, value);
        return actual == expected ? "" : text + " gives \"" + actual + "\", expected \"" + expected + "\"";
    }) == 0 ? 0 : 1;
}
