// The decimal direction at every float boundary. For each float f with 2^-126 <= f < 2^23,
// with both signs, four texts, each in the general form (an exponent part where that is shorter)
// and in the fixed form (a plain decimal):
// - A, the shortest text of f itself, must give f's own pattern;
// - B, the shortest text of the largest double below f, reads a hair under f and must give the
//   pattern one less, the float below f toward zero (at f = 2^-126: the out-of-range message).
// The expected results come from the bits of f, not from reading the texts.
// Usage: check_boundary [STRIDE]   (through the 149 x 2^23 floats)

#include "decimal_to_binary/d2b.hpp"
#include "reference.hpp"

#include <sstream>
#include <string_view>
#include <utility>

namespace {

constexpr std::uint32_t smallest_normal = 1U << 23;  // the pattern of 2^-126

// What is wrong with the conversion of the texts of `value` and of its negation, whose results
// must be `positive` and `negative`.
std::string problem(double value, const std::string& positive, const std::string& negative)
{
    thread_local std::ostringstream messages;
    char text[400];
    text[0] = '-';
    char* const general_end = std::to_chars(text + 1, std::end(text), value).ptr;
    char* const fixed = general_end + 1;
    *fixed = '-';
    char* const fixed_end = std::to_chars(fixed + 1, std::end(text), value, std::chars_format::fixed).ptr;
    // Where the general form is the plain decimal, the one text is converted once.
    const bool same = std::string_view(text, general_end) == std::string_view(fixed, fixed_end);
    const std::pair<const char*, const char*> forms[] = {{text, general_end}, {fixed, fixed_end}};
    for (std::size_t form = 0; form < (same ? 1U : 2U); ++form) {
        const auto [first, end] = forms[form];
        for (const char* begin : {first + 1, first}) {
            // The text is stored through the object's own buffer, which then needs no allocation.
            thread_local D2B d2b(1, messages);
            d2b.K.assign(begin, end);
            d2b.setK(std::move(d2b.K));
            const std::string actual = d2b.convert();
            const std::string& expected = begin == first ? negative : positive;
            if (actual != expected || !messages.view().empty()) {
                return std::string(begin, end) + " gives \"" + messages.str() + actual + "\", expected \"" + expected + "\"";
            }
        }
    }
    return "";
}

// The results for the pattern `bits` read with the sign bit 0 and 1, written into reused texts.
void write_results(std::uint32_t bits, std::string& positive, std::string& negative)
{
    if (bits < smallest_normal) {
        positive = negative = "Number out of range ";
        return;
    }
    reference::write_fields(bits, positive);
    reference::write_fields(bits | 0x80000000U, negative);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::uint64_t stride = std::max<std::uint64_t>(1, argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1);
    const std::uint64_t floats = std::uint64_t{149} << 23;
    const auto failures = reference::run("floats (8 texts each)", (floats + stride - 1) / stride, [&](std::uint64_t index) {
        const auto bits = static_cast<std::uint32_t>(smallest_normal + index * stride);
        const double f = std::bit_cast<float>(bits);
        thread_local std::string positive;
        thread_local std::string negative;
        write_results(bits, positive, negative);
        std::string wrong = problem(f, positive, negative);
        if (wrong.empty()) {
            write_results(bits - 1, positive, negative);
            wrong = problem(std::nextafter(f, 0.0), positive, negative);
        }
        return wrong;
    });
    return failures == 0 ? 0 : 1;
}
