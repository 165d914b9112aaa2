// Differential check of the decimal-to-binary direction against the machine itself: for seeded
// random decimal texts of the forms people type, the result text must be the binary32 pattern of
// the parsed value converted to float with rounding toward zero, or the out-of-range message
// when the value lies outside the normal range that the program encodes.
// Usage: d2b_differential [COUNT [SEED]]

#include "decimal_to_binary/d2b.hpp"

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <string>

namespace {

class TextMaker {
public:
    explicit TextMaker(std::uint64_t seed) : random(seed) {}

    std::string next()
    {
        std::string text = pick(0, 3) == 0 ? "-" : "";
        switch (pick(0, 5)) {
        case 0:  // integers, some out of range
            text += std::to_string(pick(0, 3) == 0 ? pick(0, 20000000) : pick(0, 9999));
            break;
        case 1:  // decimals with up to 9 significant digits
        case 2:
            text += decimal(pick(1, 9));
            break;
        case 3:  // values below 1 with leading zeros
            text += "0." + std::string(static_cast<std::size_t>(pick(0, 45)), '0') + digits(pick(1, 9));
            break;
        default:  // exponent notation
            text += decimal(pick(1, 9)) + (pick(0, 1) == 0 ? "e" : "E") + exponent_text();
            break;
        }
        return text;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

    std::string digits(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += static_cast<char>('0' + pick(i == 0 ? 1 : 0, 9));
        }
        return text;
    }

    // `count` significant digits with the point anywhere, also first or last.
    std::string decimal(int count)
    {
        std::string text = digits(count);
        const int point = pick(0, count);
        if (point < count || pick(0, 3) == 0) {
            text.insert(static_cast<std::size_t>(point), ".");
        }
        return text;
    }

    std::string exponent_text()
    {
        const int power = pick(-50, 12);
        const std::string sign = power < 0 ? "-" : (pick(0, 1) == 0 ? "+" : "");
        return sign + std::to_string(std::abs(power));
    }

    std::mt19937_64 random;
};

double parse_like_the_stream(const std::string& text)
{
    std::istringstream stream(text);
    double value = 0.0;
    stream >> value;
    return value;
}

std::string field_text(float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    std::string text;
    for (int bit = 31; bit >= 0; --bit) {
        text += ((bits >> bit) & 1U) != 0 ? '1' : '0';
        if (bit == 31 || bit == 23) {
            text += '|';
        }
    }
    return text;
}

// Kept out of line so that the conversion cannot be moved across the rounding-mode changes.
[[gnu::noinline]] float to_float(double value) { return static_cast<float>(value); }

std::string expected_result(const std::string& text)
{
    const double value = parse_like_the_stream(text);
    const double magnitude = std::fabs(value);
    if (magnitude >= 8388608.0 || (magnitude != 0.0 && magnitude < std::numeric_limits<float>::min())) {
        return "Number out of range ";
    }
    std::fesetround(FE_TOWARDZERO);
    const float cut_off = to_float(value);
    std::fesetround(FE_TONEAREST);
    return field_text(cut_off);
}

}  // namespace

int main(int argc, char** argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 300000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261206;
    TextMaker maker(seed);
    std::ostringstream messages;
    long mismatches = 0;
    for (long i = 0; i < count; ++i) {
        const std::string text = maker.next();
        D2B d2b(1, messages);
        d2b.setK(text);
        const std::string actual = d2b.convert();
        const std::string expected = expected_result(text);
        if (actual != expected || !messages.str().empty()) {
            if (++mismatches <= 50) {
                std::printf("mismatch for \"%s\": got \"%s%s\", expected \"%s\"\n", text.c_str(),
                            messages.str().c_str(), actual.c_str(), expected.c_str());
            }
            messages.str("");
        }
    }
    std::printf("%ld texts checked (seed %llu), %ld mismatches\n", count, static_cast<unsigned long long>(seed),
                mismatches);
    return mismatches == 0 ? 0 : 1;
}
