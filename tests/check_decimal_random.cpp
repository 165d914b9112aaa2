// The decimal direction on random texts of the forms people type: integers (some out of range),
// decimals with the point anywhere, values below 1 with leading zeros, exponent notation; each
// result must be the pattern of the value, as the stream reads it, converted to float toward
// zero, or the out-of-range message. Text i of a seed is the same whatever the core count.
// Usage: check_decimal_random COUNT [SEED]

#include "decimal_to_binary/d2b.hpp"
#include "reference.hpp"

#include <sstream>

namespace {

class TextMaker {
public:
    explicit TextMaker(std::uint64_t seed) : state(seed) {}

    std::string text()
    {
        std::string text = pick(0, 3) == 0 ? "-" : "";
        switch (pick(0, 5)) {
        case 0:
            return text + std::to_string(pick(0, 3) == 0 ? pick(0, 20000000) : pick(0, 9999));
        case 1:
        case 2:
            return text + decimal(pick(1, 9));
        case 3:
            return text + "0." + std::string(pick(0, 45), '0') + digits(pick(1, 9));
        default:
            text += decimal(pick(1, 9)) + (pick(0, 1) == 0 ? "e" : "E");
            if (pick(0, 62) < 50) {
                return text + "-" + std::to_string(pick(0, 50));
            }
            return text + (pick(0, 1) == 0 ? "+" : "") + std::to_string(pick(0, 12));
        }
    }

private:
    // splitmix64: cheap to seed, so every text has a generator of its own.
    std::size_t pick(std::uint64_t low, std::uint64_t high)
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15U);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9U;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBU;
        return static_cast<std::size_t>(low + (z ^ (z >> 31)) % (high - low + 1));
    }

    std::string digits(std::size_t count)
    {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            text += static_cast<char>('0' + pick(i == 0 ? 1 : 0, 9));
        }
        return text;
    }

    // `count` significant digits with the point anywhere, also first or last, or no point.
    std::string decimal(std::size_t count)
    {
        std::string text = digits(count);
        const std::size_t point = pick(0, count);
        return point < count || pick(0, 3) == 0 ? text.insert(point, 1, '.') : text;
    }

    std::uint64_t state;
};

}  // namespace

int main(int argc, char** argv)
{
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 300000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261207;
    const auto failures = reference::run("random decimal texts", count, [&](std::uint64_t index) {
        const std::string text = TextMaker(seed ^ (index * 0xD1B54A32D192ED03U)).text();
        double value = 0.0;
        std::istringstream(text) >> value;
        thread_local std::ostringstream messages;
        messages.str("");
        D2B d2b(1, messages);
        d2b.setK(text);
        const std::string actual = messages.str() + d2b.convert();
        const std::string expected = reference::decimal_result(text, value);
        return actual == expected ? "" : text + " gives \"" + actual + "\", expected \"" + expected + "\"";
    });
    return failures == 0 ? 0 : 1;
}
