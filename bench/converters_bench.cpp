// Each converter beside a reference that writes the same result text straight from the float's
// bits; the ratio of the two shows what the converters' own work costs. Before timing, every
// reference result is checked against the converter's, so both do the same job.

#include "binary_to_decimal/binario_decimale.hpp"
#include "decimal_to_binary/d2b.hpp"

#include <benchmark/benchmark.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

// An output stream that drops everything, as cheaply as a stream can.
class Discard : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void require(bool condition, const std::string& what)
{
    if (!condition) {
        std::fprintf(stderr, "reference differs from the converter: %s\n", what.c_str());
        std::exit(1);
    }
}

// ---- decimal to binary ----

const std::vector<std::string> decimal_texts{
    "5", "-3.25", "12.375", "0.1", "1e3", "8388607.9", "0.00000001", "123456.789", "-0.75", "3.14159265",
    "42", "0.5", "-1234.5678", "6.02e5", "0.000123", "9999999", "abc", "-0",
};

struct DecimalCase {
    std::string text;
    bool out_of_range;
    float value;  // cut off toward zero
};

[[gnu::noinline]] float to_float(double value) { return static_cast<float>(value); }

std::vector<DecimalCase> decimal_cases()
{
    std::vector<DecimalCase> cases;
    for (const std::string& text : decimal_texts) {
        std::istringstream stream(text);
        double value = 0.0;
        stream >> value;
        const double magnitude = std::fabs(value);
        const bool out_of_range = magnitude >= 8388608.0 || (magnitude != 0 && magnitude < std::numeric_limits<float>::min());
        std::fesetround(FE_TOWARDZERO);
        const float cut_off = to_float(value);
        std::fesetround(FE_TONEAREST);
        cases.push_back({text, out_of_range, cut_off});
    }
    return cases;
}

std::string reference_fields(const DecimalCase& c)
{
    if (c.out_of_range) {
        return "Number out of range ";
    }
    const auto bits = std::bit_cast<std::uint32_t>(c.value);
    std::string text(34, '|');
    std::size_t at = 0;
    for (int bit = 31; bit >= 0; --bit, ++at) {
        if (bit == 30 || bit == 22) {
            ++at;
        }
        text[at] = ((bits >> bit) & 1U) != 0 ? '1' : '0';
    }
    return text;
}

void D2B_convert(benchmark::State& state)
{
    std::ostringstream messages;
    for (auto _ : state) {
        for (const std::string& text : decimal_texts) {
            D2B d2b(1, messages);
            d2b.setK(text);
            benchmark::DoNotOptimize(d2b.convert());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(decimal_texts.size()));
}

void D2B_reference(benchmark::State& state)
{
    const std::vector<DecimalCase> cases = decimal_cases();
    std::ostringstream messages;
    for (const DecimalCase& c : cases) {
        D2B d2b(1, messages);
        d2b.setK(c.text);
        require(d2b.convert() == reference_fields(c), c.text);
    }
    for (auto _ : state) {
        for (const DecimalCase& c : cases) {
            benchmark::DoNotOptimize(reference_fields(c));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(cases.size()));
}

// ---- binary to decimal ----

const std::vector<std::string> patterns{
    "01000000101000000000000000000000", "00111110001000000000000000000000", "10111111110000000000000000000000",
    "01000001010010000000000000000000", "010000001",                        "0100000010101",
    "01000000010010010000111111011011", "10111101110011001100110011001101", "01001000111111111111111111111111",
    "10111001000000000000000000000000", "01000110000111000100000000000000", "00111111100000000000000000000001",
};

std::string bit_digits(std::uint32_t bits, int first, int last)  // fraction bits first..last
{
    std::string digits;
    for (int i = first; i <= last; ++i) {
        digits += ((bits >> (22 - i)) & 1U) != 0 ? '1' : '0';
    }
    return digits;
}

void reference_conversion(std::uint32_t bits, std::ostream& out)
{
    const int e = static_cast<int>((bits >> 23) & 0xFFU) - 127;
    const int last = (bits & 0x7FFFFFU) == 0 ? -1 : 22 - std::countr_zero(bits & 0x7FFFFFU);
    std::string whole(1, e >= 0 ? '1' : '0');
    std::string fraction;
    if (e >= 0) {
        whole += bit_digits(bits, 0, e - 1);
        fraction = bit_digits(bits, e, last);
    } else {
        fraction.assign(static_cast<std::size_t>(-e - 1), '0');
        fraction += '1';
        fraction += bit_digits(bits, 0, last);
    }
    out << std::endl << "1," << bit_digits(bits, 0, last) << " * 2^" << e << std::endl << whole;
    if (!fraction.empty()) {
        out << ',' << fraction;
    }
    out << std::endl << std::endl << "Final result: " << std::bit_cast<float>(bits);
}

std::uint32_t bits_of(const std::string& pattern)
{
    const std::string padded = pattern + std::string(32 - pattern.size(), '0');
    return static_cast<std::uint32_t>(std::stoul(padded, nullptr, 2));
}

void B2D_conversione(benchmark::State& state)
{
    Discard discard;
    std::ostream out(&discard);
    for (auto _ : state) {
        for (const std::string& pattern : patterns) {
            Binario_Decimale record(1, out);
            record.set_val(pattern);
            if (record.verifica()) {
                record.conversione();
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(patterns.size()));
}

void B2D_reference(benchmark::State& state)
{
    std::vector<std::uint32_t> all_bits;
    for (const std::string& pattern : patterns) {
        std::ostringstream expected;
        std::ostringstream actual;
        Binario_Decimale record(1, actual);
        record.set_val(pattern);
        require(record.verifica(), pattern);
        record.conversione();
        all_bits.push_back(bits_of(pattern));
        reference_conversion(all_bits.back(), expected);
        require(actual.str() == expected.str(), pattern);
    }
    Discard discard;
    std::ostream out(&discard);
    for (auto _ : state) {
        for (const std::uint32_t bits : all_bits) {
            reference_conversion(bits, out);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(all_bits.size()));
}

}  // namespace

BENCHMARK(D2B_convert);
BENCHMARK(D2B_reference);
BENCHMARK(B2D_conversione);
BENCHMARK(B2D_reference);

BENCHMARK_MAIN();
