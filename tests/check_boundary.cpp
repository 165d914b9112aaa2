// The decimal direction at every float boundary. For each float f with 2^-126 <= f < 2^23, with
// both signs, the texts A, the shortest text of f, and B, the shortest text of the largest double
// below f, each in the general form (an exponent part where that is shorter) and in the fixed
// form (a plain decimal); for a whole number f from 2 on also C, f - 1 followed by sixteen nines,
// whose whole value rounds up to f. A text must give f's pattern when the value that the program
// reads from it is at least f, and otherwise the pattern below f, toward zero (at 2^-126 the
// out-of-range message). That value (reference::value_read) is compared with f in parts:
// a plain decimal of 1 or more is its integer digits plus the double nearest to its fraction
// digits, any other text is the double nearest to it, for A f itself, for B the double below.
// Usage: check_boundary [STRIDE]   (through the 149 x 2^23 floats)

#include "decimal_to_binary/d2b.hpp"
#include "reference.hpp"

#include <sstream>
#include <string_view>

namespace {

constexpr std::uint32_t smallest_normal = 1U << 23;  // the pattern of 2^-126

// What is wrong with the conversion of `text` (no sign, printed from `value`) and of its negation.
std::string problem(std::string_view text, double value, double f, std::uint32_t bits)
{
    thread_local std::ostringstream messages;
    thread_local D2B d2b(1, messages);
    thread_local std::string expected;
    const auto [whole, fraction] = reference::value_read(text, value);
    const bool at_least = whole != std::trunc(f) ? whole > std::trunc(f) : fraction >= f - std::trunc(f);
    const std::uint32_t wanted = at_least ? bits : bits - 1;
    reference::write_fields(wanted, expected);
    if (wanted < smallest_normal) {
        expected = "Number out of range ";
    }
    for (const char* sign : {"", "-"}) {
        expected[0] = wanted < smallest_normal ? 'N' : *sign == '-' ? '1' : '0';
        // The text is stored through the object's own buffer, which then needs no allocation.
        d2b.K.assign(sign).append(text);
        d2b.setK(std::move(d2b.K));
        const std::string actual = d2b.convert();
        if (actual != expected || messages.tellp() != 0) {
            return d2b.K + " gives \"" + messages.str() + actual + "\", expected \"" + expected + "\"";
        }
    }
    return "";
}

// A and B in both forms; the general form is the shorter of the fixed and the exponent form, so
// without an exponent it is the fixed form itself, converted once.
std::string problem_of_shortest(double value, double f, std::uint32_t bits)
{
    char general[400];
    char fixed[400];
    const std::string_view general_text(general, std::to_chars(general, std::end(general), value).ptr);
    std::string wrong = problem(general_text, value, f, bits);
    if (wrong.empty() && general_text.find('e') != std::string_view::npos) {
        const char* const fixed_end = std::to_chars(fixed, std::end(fixed), value, std::chars_format::fixed).ptr;
        wrong = problem(std::string_view(fixed, fixed_end), value, f, bits);
    }
    return wrong;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::uint64_t stride = std::max<std::uint64_t>(1, argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1);
    const std::uint64_t floats = std::uint64_t{149} << 23;
    const char* const what = "floats (A and B in two forms, C for whole numbers, each with both signs)";
    return reference::run(what, (floats + stride - 1) / stride, [&](std::uint64_t index) {
        const auto bits = static_cast<std::uint32_t>(smallest_normal + index * stride);
        const double f = std::bit_cast<float>(bits);
        std::string wrong = problem_of_shortest(f, f, bits);
        wrong = wrong.empty() ? problem_of_shortest(std::nextafter(f, 0.0), f, bits) : wrong;
        if (wrong.empty() && f >= 2.0 && f == std::trunc(f)) {
            wrong = problem(std::to_string(static_cast<std::uint32_t>(f) - 1) + ".9999999999999999", f, f, bits);
        }
        return wrong;
    }) == 0 ? 0 : 1;
}
