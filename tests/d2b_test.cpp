// The decimal direction's edges that the checks at every float boundary and on random texts do
// not reach: texts that are not plain numbers, the operations one by one, both languages and the
// error paths. (The boundary check also uses each object again and again.)

#include "decimal_to_binary/d2b.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// The text is read as the stream reads a double (white space first skipped, "5e" and "0x10" as 0,
// "inf" not at all); a plain decimal's integer part is its digits as written and its fraction
// the digits after the point, read as "0.ddd"; any other text splits the whole value. (The fuzzer
// compares the reading with the stream's on every input.)
TEST(D2BParsing, IntegerPartAndFraction)
{
    const std::vector<std::tuple<std::string, int, double>> rows{
        {"", 0, 0.0}, {"5.", 5, 0.0}, {".5", 0, 0.5}, {"-3.25", -3, 0.25}, {"3,25", 3, 0.0}, {"1.5e3", 1500, 0.0},
        {"-1e-1", 0, 0.1}, {"1.2.3", 1, 0.2}, {"1e10", INT_MAX, 0.0}, {"+5", 5, 0.0}, {"5e", 0, 0.0}, {"0x10", 0, 0.0},
        {"inf", 0, 0.0}, {"1x.5", 1, 0.0}, {"1.9999999999999999", 1, 0.9999999999999999},
        {"1.9999999999999999e0", 2, 0.0}, {"0.99999999999999999", 0, 1.0}, {"-1.99999999999999999", -1, 1.0},
        {"0.99999999999999995", 0, 1.0}, {"\n5", 5, 0.0}, {"\v-3.25", -3, 0.25}, {"\f.5", 0, 0.5},
        {"\r1.5e3", 1500, 0.0}, {" \t2.5", 2, 0.5},
    };
    for (const auto& [k, integer_part, fraction] : rows) {
        D2B d2b(1);
        d2b.setK(k);
        EXPECT_EQ(d2b.intDec(), integer_part) << k;
        EXPECT_EQ(d2b.fractDec(), fraction) << k;
    }
    D2B d2b(1);
    EXPECT_EQ(d2b.fractTrunc("-1.2.3"), "0.2.3");
    EXPECT_EQ(d2b.fractTrunc("12"), "");
    // Beyond the double range: the largest finite double of the sign, never infinity.
    EXPECT_EQ(d2b.stringToDouble("1e999"), DBL_MAX);
    EXPECT_EQ(d2b.stringToDouble("-1e999"), -DBL_MAX);
}

TEST(D2BFields, DigitsAndFieldsOneByOne)
{
    D2B d2b(1);
    // Digit counts on both sides of each byte that the digits are written by.
    const auto one_then_zeros = [](std::size_t zeros) { return std::string(1, '1').append(zeros, '0'); };
    const std::vector<std::pair<int, std::string>> numerals{
        {0, "0"}, {1, "1"}, {-5, "101"}, {255, "11111111"}, {256, one_then_zeros(8)},
        {65536, one_then_zeros(16)}, {16777217, one_then_zeros(23).append("1")},
        {INT_MIN, one_then_zeros(31)},
    };
    for (const auto& [n, digits] : numerals) {
        EXPECT_EQ(d2b.intConverter(n), digits) << n;
    }
    d2b.setK("-12.1");
    EXPECT_EQ(d2b.intBin(), "1100");
    // The first 46 binary digits of the fraction as written, 0.1, whose digits never end.
    EXPECT_EQ(d2b.fractBin(), "0001100110011001100110011001100110011001100110");
    const std::vector<std::tuple<std::string, int, std::string, std::string, std::string>> rows{
        // A value of zero has the zero exponent field, whatever `exp` says; the sign is the text's.
        {"0", 0, "00000000", std::string(23, '0'), "0"}, {"-abc", 0, "00000000", std::string(23, '0'), "1"},
        {"+5", 2, "10000001", "01000000000000000000000", "0"},
    };
    for (const auto& [k, exp, exponent, mantix, sign] : rows) {
        d2b.setK(k);
        EXPECT_EQ(d2b.mantix(), mantix) << k;
        EXPECT_EQ(d2b.exp, exp) << k;
        EXPECT_EQ(d2b.exponent(), exponent) << k;
        EXPECT_EQ(d2b.sign(), sign) << k;
    }
}

// The result and what the conversion wrote before it.
std::string written_and_result(int lang, const std::string& k)
{
    std::ostringstream out;
    D2B d2b(lang, out);
    d2b.setK(k);
    const std::string result = d2b.convert();
    return out.str() + result;
}

// Texts that are not plain numbers convert as the stream reads them. A plain decimal is cut off
// as written: its integer digits, then its fraction read on its own; where that fraction reads as
// a float's own fraction, the result is that float, even when the typed number lies a hair below
// it (3.3916656970977783). A fraction that reads as 1.0 is the error, whatever its integer part,
// and the fraction field keeps only the integer digits.
TEST(D2BConvert, ResultsAndErrors)
{
    const std::vector<std::pair<std::string, std::string>> rows{
        {"", "0|00000000|00000000000000000000000"}, {"-a.5", "1|00000000|00000000000000000000000"},
        {"1x.5", "0|01111111|00000000000000000000000"}, {"5e-1.9e9", "0|01111110|00000000000000000000000"},
        {"3.99999999999999999e", "0|00000000|00000000000000000000000"},
        {"1.0855680704116821", "0|01111111|00010101111001111100100"},
        {"1.9999999999999999", "0|01111111|11111111111111111111111"},
        {"1.9999999999999999e0", "0|10000000|00000000000000000000000"},
        {"3.3916656970977783", "0|10000000|10110010001000100001101"},
        {"1.99999999999999999", "ERROR 0|01111111|"}, {"-5.99999999999999999", "ERROR 1|10000001|01"},
        {"3.99999999999999999", "ERROR 0|10000000|1"}, {"1023.99999999999999999", "ERROR 0|10001000|111111111"},
        {"262143.99999999999999999", "ERROR 0|10010000|" + std::string(17, '1')},
        {"0.99999999999999999", "ERROR 0|01111111|00000000000000000000000"},
        {"-0.99999999999999999", "ERROR 1|01111111|00000000000000000000000"},
        {"0.99999999999999995", "ERROR 0|01111111|00000000000000000000000"},
        // The range is checked on the whole value read as one double, which rounds up to 2^23
        // only from ten nines on; values that read as zero give the zero pattern.
        {"8388607.999999999", "0|10010101|" + std::string(23, '1')},
        {"1e-400", "0|00000000|00000000000000000000000"}, {"-1e-400", "1|00000000|00000000000000000000000"},
        {"0." + std::string(2000, '0') + "1", "0|00000000|00000000000000000000000"},
    };
    for (const auto& [k, output] : rows) {
        EXPECT_EQ(written_and_result(1, k), output) << k;
    }
}

TEST(D2BConvert, MessagesInBothLanguages)
{
    for (const std::string k : {"8388608", "-8388608", "1e999", "8388607.9999999999", "-1.1754943e-38"}) {
        EXPECT_EQ(written_and_result(1, k), "Number out of range ") << k;
        EXPECT_EQ(written_and_result(2, k), "Numero fuori dal range ") << k;
    }
    EXPECT_EQ(written_and_result(2, "1.99999999999999999"), "ERRORE 0|01111111|");
}

}  // namespace
