#include "decimal_to_binary/d2b.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string zeros23(23, '0');

struct Parse {
    std::string k;
    double whole_value;
    int integer_part;
    std::string fraction_text;
    double fraction_value;
};

TEST(D2BParsing, WholeValueIntegerPartAndFraction)
{
    const std::vector<Parse> rows{
        {"", 0.0, 0, "", 0.0},
        {"5", 5.0, 5, "", 0.0},
        {"5.", 5.0, 5, "0.", 0.0},
        {".5", 0.5, 0, "0.5", 0.5},
        {"-3.25", -3.25, -3, "0.25", 0.25},
        {"12.375", 12.375, 12, "0.375", 0.375},
        {"3,25", 3.0, 3, "", 0.0},
        {"12abc", 12.0, 12, "", 0.0},
        {"abc", 0.0, 0, "", 0.0},
        {"-0", -0.0, 0, "", 0.0},
        {"1e3", 1000.0, 1000, "", 0.0},
        {"1.2.3", 1.2, 1, "0.2.3", 0.2},
        {"8388607.9", 8388607.9, 8388607, "0.9", 0.9},
        // Not plain decimals: integer part and fraction come from the whole value.
        {"1.5e3", 1500.0, 1500, "0.5e3", 0.0},
        {"15e-1", 1.5, 1, "", 0.5},
        {"12.5e-1", 1.25, 1, "0.5e-1", 0.25},
        {"-1e-1", -0.1, 0, "", 0.1},
        {"1x.5", 1.0, 1, "0.5", 0.0},
        {"a.75", 0.0, 0, "0.75", 0.0},
        // A plain decimal keeps the digits written before its point.
        {"1.9999999999999999", 2.0, 1, "0.9999999999999999", 0.9999999999999999},
        {"-1.9999999999999999", -2.0, -1, "0.9999999999999999", 0.9999999999999999},
        {"0.99999999999999999", 1.0, 0, "0.99999999999999999", 1.0},
    };
    for (const Parse& row : rows) {
        D2B d2b(1);
        d2b.setK(row.k);
        EXPECT_EQ(d2b.stringToDouble(row.k), row.whole_value) << row.k;
        EXPECT_EQ(std::signbit(d2b.stringToDouble(row.k)), std::signbit(row.whole_value)) << row.k;
        EXPECT_EQ(d2b.intDec(), row.integer_part) << row.k;
        EXPECT_EQ(d2b.fractTrunc(row.k), row.fraction_text) << row.k;
        EXPECT_EQ(d2b.fractDec(), row.fraction_value) << row.k;
    }
}

// The number at the start of a text is read exactly as the stream's extraction reads it.
TEST(D2BParsing, StringToDoubleReadsLikeTheStreamExtraction)
{
    const std::vector<std::string> texts{
        "", " ", " \t\n\v\f\r7", "+5", "-", "+", ".", "-.", "-.5", ".e5", "0.e5", "5e", "5e+", "5E-3", "7even",
        "1e5.3", "1.5.3", "0x10", "-0x1p3", "inf", "-nan", "1e400", "-1e400", "1e-400", "1e-310", "00012.5000",
        "1,5", "+-5", "--5", "5e--3", "1e+-3", "12e3e4", std::string("1\0" "5", 3), "\xc3\xa8" "5",
        "123456789012345678901234567890", "0.000000000000000000000000000000000000000000001", "4.9406564584124654e-324",
        "2.4703282292062328e-324", "1.7976931348623158e308", "1.7976931348623159e308", "9007199254740993",
    };
    D2B d2b(1);
    for (const std::string& text : texts) {
        std::istringstream stream(text);
        double expected = 0.0;
        stream >> expected;
        const double actual = d2b.stringToDouble(text);
        EXPECT_EQ(actual, expected) << '"' << text << '"';
        EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << '"' << text << '"';
    }
}

TEST(D2BBits, IntConverterWritesTheMagnitudeInBinary)
{
    const std::vector<std::pair<int, std::string>> rows{
        {0, "0"},
        {1, "1"},
        {5, "101"},
        {-5, "101"},
        {127, "1111111"},
        {128, "10000000"},
        {149, "10010101"},
        {8388607, std::string(23, '1')},
        {std::numeric_limits<int>::min(), "1" + std::string(31, '0')},
    };
    D2B d2b(1);
    for (const auto& [n, digits] : rows) {
        EXPECT_EQ(d2b.intConverter(n), digits) << n;
    }
}

TEST(D2BBits, IntBinIsTheIntegerPartInBinary)
{
    const std::vector<std::pair<std::string, std::string>> rows{
        {"-3.25", "11"}, {"0.75", "0"}, {"-0.5", "0"}, {"abc", "0"}, {"", "0"}, {"12.375", "1100"},
        {"8388607.9", std::string(23, '1')}, {"15e-1", "1"}, {"1.9999999999999999", "1"},
    };
    for (const auto& [k, digits] : rows) {
        D2B d2b(1);
        d2b.setK(k);
        EXPECT_EQ(d2b.intBin(), digits) << k;
    }
}

TEST(D2BBits, FractBinGivesFortySixDigitsCutOff)
{
    const std::vector<std::pair<std::string, std::string>> rows{
        {"5", std::string(46, '0')},
        {"-3.25", "01" + std::string(44, '0')},
        {"0.5", "1" + std::string(45, '0')},
        {"0.1", "0001100110011001100110011001100110011001100110"},
        {"0.9", "1110011001100110011001100110011001100110011001"},
        {"1.5e3", std::string(46, '0')},
        {"1e-1", "0001100110011001100110011001100110011001100110"},
    };
    for (const auto& [k, digits] : rows) {
        std::ostringstream out;
        D2B d2b(1, out);
        d2b.setK(k);
        EXPECT_EQ(d2b.fractBin(), digits) << k;
        EXPECT_EQ(out.str(), "") << k;
    }
    D2B d2b(1);
    d2b.setK("0.123456789012345678901234567890");
    EXPECT_EQ(d2b.fractBin().size(), 46U);
}

TEST(D2BBits, FractionThatReadsAsOneWritesTheErrorAndGivesNoDigits)
{
    for (const auto& [lang, message] : {std::pair{1, "ERROR "}, std::pair{2, "ERRORE "}}) {
        std::ostringstream out;
        D2B d2b(lang, out);
        d2b.setK("1.99999999999999999");
        EXPECT_EQ(d2b.fractBin(), "");
        EXPECT_EQ(out.str(), message);
    }
}

struct Fields {
    std::string k;
    int exp;
    std::string exponent;
    std::string mantix;
    std::string sign;
};

TEST(D2BFields, ExponentFractionAndSign)
{
    const std::vector<Fields> rows{
        {"5", 2, "10000001", "01000000000000000000000", "0"},
        {"-3.25", 1, "10000000", "10100000000000000000000", "1"},
        {"12.375", 3, "10000010", "10001100000000000000000", "0"},
        {"1", 0, "01111111", zeros23, "0"},
        {"-1.5", 0, "01111111", "10000000000000000000000", "1"},
        {"0.75", -1, "01111110", "10000000000000000000000", "0"},
        {"0.5", -1, "01111110", zeros23, "0"},
        {"0.1", -4, "01111011", "10011001100110011001100", "0"},
        {"8388607", 22, "10010101", "11111111111111111111110", "0"},
        {"8388607.9", 22, "10010101", "11111111111111111111111", "0"},
        {"0.000000238418579101562", -23, "01101000", "11111111111111111111111", "0"},
        {"0", 0, "00000000", zeros23, "0"},
        {"-0", 0, "00000000", zeros23, "1"},
        {"abc", 0, "00000000", zeros23, "0"},
        {"+5", 2, "10000001", "01000000000000000000000", "0"},
        {"1.5e3", 10, "10001001", "01110111000000000000000", "0"},
        {"-abc", 0, "00000000", zeros23, "1"},
        // Below 2^-23: the true exponent and the 23 digits after the leading 1.
        {"0.00000001", -27, "01100100", "01010111100110001110111", "0"},
        {"1.2e-38", -126, "00000001", "00000101010101100011110", "0"},
    };
    for (const Fields& row : rows) {
        std::ostringstream out;
        D2B d2b(1, out);
        d2b.setK(row.k);
        EXPECT_EQ(d2b.mantix(), row.mantix) << row.k;
        EXPECT_EQ(d2b.exp, row.exp) << row.k;
        EXPECT_EQ(d2b.exponent(), row.exponent) << row.k;
        EXPECT_EQ(d2b.sign(), row.sign) << row.k;
        EXPECT_EQ(out.str(), "") << row.k;
    }
}

TEST(D2BFields, ExponentBeyondEightDigitsWritesItsMessage)
{
    for (const auto& [lang, message] :
         {std::pair{1, "ERROR EXP TOO LONG"}, std::pair{2, "ERRORE ESPONENTE TROPPO LUNGO"}}) {
        std::ostringstream out;
        D2B d2b(lang, out);
        d2b.setK("5");
        d2b.exp = 129;  // biased 256: nine digits
        EXPECT_EQ(d2b.exponent(), "");
        EXPECT_EQ(out.str(), message);
    }
}

struct Conversion {
    std::string k;
    std::string result;
    std::string message;
};

std::string convert(int lang, const std::string& k, std::string& written)
{
    std::ostringstream out;
    D2B d2b(lang, out);
    d2b.setK(k);
    const std::string result = d2b.convert();
    written = out.str();
    return result;
}

TEST(D2BConvert, ResultTexts)
{
    const std::vector<Conversion> rows{
        {"5", "0|10000001|01000000000000000000000", ""},
        {"-3.25", "1|10000000|10100000000000000000000", ""},
        {"12.375", "0|10000010|10001100000000000000000", ""},
        {"0.5", "0|01111110|00000000000000000000000", ""},
        {"0.1", "0|01111011|10011001100110011001100", ""},
        {"1e3", "0|10001000|11110100000000000000000", ""},
        {"0", "0|00000000|00000000000000000000000", ""},
        {"", "0|00000000|00000000000000000000000", ""},
        {"-0", "1|00000000|00000000000000000000000", ""},
        {"8388607", "0|10010101|11111111111111111111110", ""},
        {"-8388607", "1|10010101|11111111111111111111110", ""},
        {"8388607.9", "0|10010101|11111111111111111111111", ""},
        {"-8388607.9", "1|10010101|11111111111111111111111", ""},
        // Texts that are not plain decimals are encoded by their whole value.
        {"1.5e3", "0|10001001|01110111000000000000000", ""},
        {"15e-1", "0|01111111|10000000000000000000000", ""},
        {"12.5e-1", "0|01111111|01000000000000000000000", ""},
        {"1e-1", "0|01111011|10011001100110011001100", ""},
        {"1x.5", "0|01111111|00000000000000000000000", ""},
        {"5e-1.9e9", "0|01111110|00000000000000000000000", ""},
        {"1.9999999999999999", "0|01111111|11111111111111111111111", ""},
        // A text whose value is zero gives the zero pattern, signed by its first character.
        {"abc", "0|00000000|00000000000000000000000", ""},
        {"a.75", "0|00000000|00000000000000000000000", ""},
        {"a.5e3", "0|00000000|00000000000000000000000", ""},
        {"-a.5", "1|00000000|00000000000000000000000", ""},
        // Small values keep their true exponent, down to the smallest normal one.
        {"0.00000001", "0|01100100|01010111100110001110111", ""},
        {"-1.1754943508222875e-38", "1|00000001|00000000000000000000000", ""},
        // A fraction that reads as 1.0 keeps the error message and the short fraction field.
        {"1.99999999999999999", "0|01111111|", "ERROR "},
        {"0.99999999999999999", "0|01111111|00000000000000000000000", "ERROR "},
        {"3.99999999999999999e", "0|00000000|00000000000000000000000", ""},
    };
    for (const Conversion& row : rows) {
        std::string written;
        EXPECT_EQ(convert(1, row.k, written), row.result) << row.k;
        EXPECT_EQ(written, row.message) << row.k;
    }
}

TEST(D2BConvert, OutOfRangeInBothLanguages)
{
    for (const std::string k : {"8388608", "-8388608", "9000000", "1e10", "-1e10", "1e999", "-1e999",
                                "2147483648", "8388607.99999999999", "1e-38", "-1.1754943e-38", "1e-45",
                                "4.9e-324"}) {
        std::string written;
        const std::string english = convert(1, k, written);
        const std::string italian = convert(2, k, written);
        EXPECT_EQ(english, "Number out of range ") << k;
        EXPECT_EQ(italian, "Numero fuori dal range ") << k;
        EXPECT_EQ(written, "") << k;
    }
}

TEST(D2BConvert, ReusedObjectGivesTheResultsOfAFreshOne)
{
    std::ostringstream out;
    D2B reused(1, out);
    for (const std::string k : {"0.1", "-8388607.9", "abc", "1e10", "0.00000001", "12.375", "0.1"}) {
        reused.setK(k);
        const std::string first = reused.convert();
        EXPECT_EQ(reused.convert(), first) << k;
        std::string written;
        EXPECT_EQ(first, convert(1, k, written)) << k;
    }
    EXPECT_EQ(reused.lang, 1);
}

}  // namespace
