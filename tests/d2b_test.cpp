// The decimal direction's edges that the checks at every float boundary and on random texts do
// not reach: texts that are not plain numbers, the operations one by one, both languages and the
// error paths. (The boundary check also uses each object again and again.)

#include "decimal_to_binary/d2b.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// The text is read as the stream reads a double ("5e" and "0x10" as 0, "inf" not at all); the
// fraction is that of the whole value, and only a plain decimal's fraction that reads as 1.0
// stands apart, as the error. (The fuzzer compares the reading with the stream's on every input.)
TEST(D2BParsing, IntegerPartAndFraction)
{
    const std::vector<std::tuple<std::string, int, std::string, double>> rows{
        {"", 0, "", 0.0}, {"5.", 5, "0.", 0.0}, {".5", 0, "0.5", 0.5}, {"-3.25", -3, "0.25", 0.25},
        {"3,25", 3, "", 0.0}, {"1.5e3", 1500, "0.5e3", 0.0}, {"-1e-1", 0, "", 0.1}, {"1.2.3", 1, "0.2.3", 1.2 - 1},
        {"1e10", INT_MAX, "", 0.0}, {"+5", 5, "", 0.0}, {"5e", 0, "", 0.0}, {"0x10", 0, "", 0.0}, {"inf", 0, "", 0.0},
        {"1.9999999999999999", 2, "0.9999999999999999", 0.0}, {"0.99999999999999999", 1, "0.99999999999999999", 1.0},
        {"-1.99999999999999999", -2, "0.99999999999999999", 1.0},
    };
    for (const auto& [k, integer_part, fraction_text, fraction] : rows) {
        D2B d2b(1);
        d2b.setK(k);
        EXPECT_EQ(d2b.intDec(), integer_part) << k;
        EXPECT_EQ(d2b.fractTrunc(k), fraction_text) << k;
        EXPECT_EQ(d2b.fractDec(), fraction) << k;
    }
}

TEST(D2BFields, DigitsAndFieldsOneByOne)
{
    D2B d2b(1);
    EXPECT_EQ(d2b.intConverter(-5), "101");
    EXPECT_EQ(d2b.intConverter(INT_MIN), "1" + std::string(31, '0'));
    d2b.setK("-12.1");
    EXPECT_EQ(d2b.intBin(), "1100");
    // The first 46 binary digits of the fraction of the value read (that of 12.1 never ends).
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

TEST(D2BConvert, TextsThatAreNotPlainNumbers)
{
    const std::vector<std::pair<std::string, std::string>> rows{
        {"", "0|00000000|00000000000000000000000"}, {"-a.5", "1|00000000|00000000000000000000000"},
        {"1x.5", "0|01111111|00000000000000000000000"}, {"5e-1.9e9", "0|01111110|00000000000000000000000"},
        {"3.99999999999999999e", "0|00000000|00000000000000000000000"},
        // A fraction that reads as 1.0 writes the error; the fraction field keeps the integer digits.
        {"1.99999999999999999", "ERROR 0|10000000|0"}, {"-5.99999999999999999", "ERROR 1|10000001|10"},
        {"0.99999999999999999", "ERROR 0|01111111|"},
    };
    for (const auto& [k, output] : rows) {
        EXPECT_EQ(written_and_result(1, k), output) << k;
    }
}

TEST(D2BConvert, MessagesInBothLanguages)
{
    for (const std::string k : {"8388608", "-8388608", "1e999", "8388607.99999999999", "-1.1754943e-38"}) {
        EXPECT_EQ(written_and_result(1, k), "Number out of range ") << k;
        EXPECT_EQ(written_and_result(2, k), "Numero fuori dal range ") << k;
    }
    EXPECT_EQ(written_and_result(2, "1.99999999999999999"), "ERRORE 0|10000000|0");
    for (const auto& [lang, too_long] :
         {std::pair{1, "ERROR EXP TOO LONG"}, std::pair{2, "ERRORE ESPONENTE TROPPO LUNGO"}}) {
        std::ostringstream out;
        D2B d2b(lang, out);
        d2b.setK("5");
        d2b.exp = 129;  // biased 256: nine digits
        EXPECT_EQ(d2b.exponent(), "");
        EXPECT_EQ(out.str(), too_long);
    }
}

}  // namespace
