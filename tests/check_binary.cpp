// The binary direction against the float's own bits. For every bit pattern visited, written as
// 32 characters, verifica accepts it exactly when its exponent lies in the window for its sign,
// and conversione writes the normalised line, the exact binary digits and the value as the
// stream prints the float. With --prefixes, each shorter text of 9 to 31 characters is checked
// the same way, as the pattern with its missing fraction bits 0.
// Usage: check_binary [STRIDE [--prefixes]]

#include "binary_to_decimal/binario_decimale.hpp"
#include "reference.hpp"

#include <sstream>
#include <string_view>
#include <utility>

namespace {

// What is wrong with the conversion of `text`, the pattern `bits` or its first characters;
// empty when nothing is. One record serves every text of a thread, as a record serves every
// attempt of a dialogue; the text goes through its own buffer, which then needs no allocation.
std::string problem(std::string_view text, std::uint32_t bits)
{
    thread_local std::ostringstream out;
    thread_local Binario_Decimale record(1, out);
    if (out.tellp() != 0) {
        out.str("");
    }
    record.val.assign(text);
    record.set_val(std::move(record.val));
    const bool accepted = record.verifica();
    if (accepted != reference::in_window(bits)) {
        return std::string(text) + (accepted ? " accepted outside the window" : " rejected inside the window");
    }
    thread_local std::string expected;
    expected.clear();
    if (accepted) {
        record.conversione();
        reference::write_conversion(bits, expected);
    }
    const bool right = expected.empty() ? out.tellp() == 0 : out.str() == expected;
    return right ? "" : std::string(text) + " gives \"" + out.str() + "\", expected \"" + expected + "\"";
}

}  // namespace

int main(int argc, char** argv)
{
    const std::uint64_t stride = std::max<std::uint64_t>(1, argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1);
    const bool prefixes = argc > 2 && std::string(argv[2]) == "--prefixes";
    const std::uint64_t total = ((std::uint64_t{1} << 32) + stride - 1) / stride;
    return reference::run("bit patterns", total, [&](std::uint64_t index) {
        const auto bits = static_cast<std::uint32_t>(index * stride);
        thread_local std::string text;
        reference::write_bits(bits, 32, text);
        std::string wrong = problem(text, bits);
        for (std::size_t length = 9; prefixes && wrong.empty() && length < 32; ++length) {
            wrong = problem(std::string_view(text).substr(0, length), bits & ~(0xFFFFFFFFU >> length));
        }
        return wrong;
    }) == 0 ? 0 : 1;
}
