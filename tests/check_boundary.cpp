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

// What is wrong with the conversion of the texts of `value`, in both forms and with both signs,
// whose results must be the pattern `bits` with the sign bit 0 and 1 (the out-of-range message
// below 2^-126).
std::string problem(double value, std::uint32_t bits)
{
    thread_local std::ostringstream messages;
    thread_local D2B d2b(1, messages);
    thread_local std::string expected[2];
    reference::write_fields(bits, expected[0]);
    expected[1] = expected[0];
    expected[1][0] = '1';
    if (bits < smallest_normal) {
        expected[0] = expected[1] = "Number out of range ";
    }
    char general[400];
    char fixed[400];
    general[0] = fixed[0] = '-';
    const char* const general_end = std::to_chars(general + 1, std::end(general), value).ptr;
    // The general form is the shorter of the fixed and the exponent form: without an exponent it
    // is the fixed form, and the one text is converted once.
    const bool plain = std::string_view(general, general_end).find('e') == std::string_view::npos;
    const char* const fixed_end =
        plain ? fixed : std::to_chars(fixed + 1, std::end(fixed), value, std::chars_format::fixed).ptr;
    for (const auto& [form, end] : {std::pair{general, general_end}, std::pair{fixed, fixed_end}}) {
        for (const char* begin = form; begin < end && begin <= form + 1; ++begin) {
            // The text is stored through the object's own buffer, which then needs no allocation.
            d2b.K.assign(begin, end);
            d2b.setK(std::move(d2b.K));
            const std::string actual = d2b.convert();
            const std::string& wanted = expected[begin == form ? 1 : 0];
            if (actual != wanted || !messages.view().empty()) {
                return std::string(begin, end) + " gives \"" + messages.str() + actual + "\", expected \"" + wanted +
                       "\"";
            }
        }
    }
    return "";
}

}  // namespace

int main(int argc, char** argv)
{
    const std::uint64_t stride = std::max<std::uint64_t>(1, argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1);
    const std::uint64_t floats = std::uint64_t{149} << 23;
    return reference::run("floats (8 texts each)", (floats + stride - 1) / stride, [&](std::uint64_t index) {
        const auto bits = static_cast<std::uint32_t>(smallest_normal + index * stride);
        const double f = std::bit_cast<float>(bits);
        const std::string wrong = problem(f, bits);
        return wrong.empty() ? problem(std::nextafter(f, 0.0), bits - 1) : wrong;
    }) == 0 ? 0 : 1;
}
