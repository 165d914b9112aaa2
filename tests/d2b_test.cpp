// The decimal direction's edges that the checks at every float boundary and on random texts do
// not reach: texts that are not plain numbers, the operations one by one, both languages, the
// error paths and an object used again.

#include "decimal_to_binary/d2b.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string zeros23(23, '0');

// The number at the start of a text is read exactly as the stream's extraction reads it.
TEST(D2BParsing, StringToDoubleReadsLikeTheStreamExtraction)
{
    const std::vector<std::string> texts{
        "", " ", " \t\n\v\f\r7", "+5", "-", "+", ".", "-.", "-.5", "+.5", ".e5", "0.e5", "5e", "5e+", "5E-3", "7even",
        "1e5.3", "1e5e4", "1.5.3", "0x10", "inf", "-nan", "1e400", "-1e400", "1e-400", "1e-310", "00012.5000", "1,5",
        "+-5", "--5", "5e--3", std::string("1\0" "5", 3), "\xc3\xa8" "5", "123456789012345678901234567890",
        "2.4703282292062328e-324", "1.7976931348623159e308", "9007199254740993",
    };
    D2B d2b(1);
    for (const std::string& text : texts) {
        double expected = 0.0;
        std::istringstream(text) >> expected;
        const double actual = d2b.stringToDouble(text);
        EXPECT_EQ(actual, expected) << '"' << text << '"';
        EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << '"' << text << '"';
    }
}

struct Parse {
    std::string k;
    int integer_part;
    std::string fraction_text;
    double fraction_value;
};

// The fraction is that of the whole value; only a plain decimal's fraction that reads as 1.0
// stands apart, as the error.
TEST(D2BParsing, IntegerPartAndFraction)
{
    const std::vector<Parse> rows{
        {"", 0, "", 0.0}, {"5.", 5, "0.", 0.0}, {".5", 0, "0.5", 0.5}, {"-3.25", -3, "0.25", 0.25},
        {"3,25", 3, "", 0.0}, {"1.5e3", 1500, "0.5e3", 0.0}, {"-1e-1", 0, "", 0.1}, {"1.2.3", 1, "0.2.3", 1.2 - 1},
        {"1x.5", 1, "0.5", 0.0}, {"1e10", 2147483647, "", 0.0}, {"1.9999999999999999", 2, "0.9999999999999999", 0.0},
        {"0.99999999999999999", 1, "0.99999999999999999", 1.0}, {"-1.99999999999999999", -2, "0.99999999999999999", 1.0},
    };
    for (const Parse& row : rows) {
        D2B d2b(1);
        d2b.setK(row.k);
        EXPECT_EQ(d2b.intDec(), row.integer_part) << row.k;
        EXPECT_EQ(d2b.fractTrunc(row.k), row.fraction_text) << row.k;
        EXPECT_EQ(d2b.fractDec(), row.fraction_value) << row.k;
    }
}

TEST(D2BBits, IntegerAndFractionDigits)
{
    D2B d2b(1);
    for (const auto& [n, digits] : std::vector<std::pair<int, std::string>>{
             {0, "0"}, {5, "101"}, {-5, "101"}, {127, "1111111"}, {128, "10000000"}, {INT_MIN, "1" + std::string(31, '0')}}) {
        EXPECT_EQ(d2b.intConverter(n), digits) << n;
    }
    d2b.setK("-12.1");
    EXPECT_EQ(d2b.intBin(), "1100");
    // 46 digits of the double nearest to 0.1, cut off: the 47th, a 1, is dropped.
    EXPECT_EQ(d2b.fractBin(), "0001100110011001100110011001100110011001100110");
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
        {"0.000000238418579101562", -23, "01101000", "11111111111111111111111", "0"},
        // Below 2^-23 no 1 stands among the first 23 fraction digits: the true exponent is kept.
        {"1.2e-38", -126, "00000001", "00000101010101100011110", "0"},
        // The zero shortcut: a value of zero has the zero exponent field, whatever `exp` says.
        {"0", 0, "00000000", zeros23, "0"},
        // The sign comes from the text, not from the value.
        {"-0", 0, "00000000", zeros23, "1"},
        {"-abc", 0, "00000000", zeros23, "1"},
        {"+5", 2, "10000001", "01000000000000000000000", "0"},
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

std::string convert(int lang, const std::string& k, std::string& written)
{
    std::ostringstream out;
    D2B d2b(lang, out);
    d2b.setK(k);
    const std::string result = d2b.convert();
    written = out.str();
    return result;
}

TEST(D2BConvert, TextsThatAreNotPlainNumbers)
{
    const std::vector<std::vector<std::string>> rows{
        {"", "0|00000000|00000000000000000000000", ""},
        {"-a.5", "1|00000000|00000000000000000000000", ""},
        {"1x.5", "0|01111111|00000000000000000000000", ""},
        {"5e-1.9e9", "0|01111110|00000000000000000000000", ""},
        {"3.99999999999999999e", "0|00000000|00000000000000000000000", ""},
        // A fraction that reads as 1.0 writes the error; the fraction field keeps the integer digits.
        {"1.99999999999999999", "0|10000000|0", "ERROR "},
        {"0.99999999999999999", "0|01111111|", "ERROR "},
        {"-5.99999999999999999", "1|10000001|10", "ERROR "},
    };
    for (const auto& row : rows) {
        std::string written;
        EXPECT_EQ(convert(1, row[0], written), row[1]) << row[0];
        EXPECT_EQ(written, row[2]) << row[0];
    }
}

TEST(D2BConvert, MessagesInBothLanguages)
{
    for (const std::string k : {"8388608", "-8388608", "1e999", "2147483648", "8388607.99999999999", "-1.1754943e-38"}) {
        std::string written;
        EXPECT_EQ(convert(1, k, written), "Number out of range ") << k;
        EXPECT_EQ(convert(2, k, written), "Numero fuori dal range ") << k;
    }
    for (const auto& [lang, error, too_long] : {std::tuple{1, "ERROR ", "ERROR EXP TOO LONG"},
                                                std::tuple{2, "ERRORE ", "ERRORE ESPONENTE TROPPO LUNGO"}}) {
        std::string written;
        convert(lang, "1.99999999999999999", written);
        EXPECT_EQ(written, error);
        std::ostringstream out;
        D2B d2b(lang, out);
        d2b.setK("5");
        d2b.exp = 129;  // biased 256: nine digits
        EXPECT_EQ(d2b.exponent(), "");
        EXPECT_EQ(out.str(), too_long);
    }
}

TEST(D2BConvert, ObjectUsedAgainGivesTheResultsOfAFreshOne)
{
    std::ostringstream out;
    D2B reused(1, out);
    for (const std::string k : {"0.1", "-8388607.9", "abc", "1e10", "1.99999999999999999", "0.1"}) {
        reused.setK(k);
        const std::string first = reused.convert();
        EXPECT_EQ(reused.convert(), first) << k;
        std::string written;
        EXPECT_EQ(first, convert(1, k, written)) << k;
    }
}

}  // namespace
