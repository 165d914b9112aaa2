#include "binary_to_decimal/binario_decimale.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Sign, 8-bit exponent field and the fraction digits given, as one pattern text.
std::string pattern(char sign, const std::string& field, const std::string& fraction = "")
{
    return std::string(1, sign) + field + fraction;
}

bool accepts(const std::string& text)
{
    std::ostringstream out;
    Binario_Decimale record(1, out);
    record.set_val(text);
    const bool accepted = record.verifica();
    EXPECT_EQ(out.str(), "") << "verifica writes nothing";
    return accepted;
}

std::string conversion_of(const std::string& text, int lingua = 1)
{
    std::ostringstream out;
    Binario_Decimale record(lingua, out);
    record.set_val(text);
    record.conversione();
    return out.str();
}

struct Shape {
    std::string text;
    bool accepted;
};

TEST(Verifica, AcceptsOnlyNineToThirtyTwoBinaryDigits)
{
    const std::string nine = "010000001";
    const std::vector<Shape> rows{
        {"", false},
        {"01000000", false},
        {nine, true},
        {nine + std::string(23, '1'), true},
        {nine + std::string(24, '0'), false},
        {nine + "2", false},
        {nine + ".1", false},
        {"-" + nine, false},
        {"+" + nine, false},
        {"0100a0001", false},
        {"0100 00001", false},
        {"01000000\t1", false},
        {std::string("0100000\0" "01", 10), false},
        {"0100000010\xc3\xa8", false},
        {"０1000000１", false},
    };
    for (const Shape& row : rows) {
        EXPECT_EQ(accepts(row.text), row.accepted) << '"' << row.text << '"';
    }
}

TEST(Verifica, ExponentWindowDependsOnTheSign)
{
    const std::vector<Shape> rows{
        {pattern('0', "01110011"), true},   // e = -12
        {pattern('0', "01110010"), false},  // e = -13
        {pattern('1', "01110010"), true},   // e = -13
        {pattern('1', "01110001"), false},  // e = -14
        {pattern('0', "10010001"), true},   // e = 18
        {pattern('1', "10010001"), true},
        {pattern('0', "10010010"), false},  // e = 19
        {pattern('1', "10010010"), false},
        {pattern('0', "00000000"), false},
        {pattern('1', "00000000", "1"), false},
        {pattern('0', "11111111"), false},
        {pattern('1', "11111111", "01"), false},
        {pattern('0', "01111111", std::string(23, '1')), true},
    };
    for (const Shape& row : rows) {
        EXPECT_EQ(accepts(row.text), row.accepted) << row.text;
    }
}

TEST(Fields, ShortTextGivesZeroFractionBitsBeyondItsEnd)
{
    Binario_Decimale record(1);
    record.set_val("0100000010101");
    record.scomposizione();
    std::array<std::int32_t, 23> expected{};
    expected[1] = 1;
    expected[3] = 1;
    EXPECT_EQ(record.mantissa, expected);
    EXPECT_EQ(record.trova_esponente(), 129);
    EXPECT_EQ(record.segno, 1);
}

TEST(Fields, ExtractorsOnTextsThatFailTheShapeTestReadNothingOutOfRange)
{
    for (const std::string text : {"", "1", "0111", "abcdefghijklmn"}) {
        Binario_Decimale record(1);
        record.set_val(text);
        EXPECT_FALSE(record.verifica());
        record.scomposizione();
        EXPECT_EQ(record.mantissa, (std::array<std::int32_t, 23>{})) << text;
    }
    Binario_Decimale record(1);
    record.set_val("1011");
    record.scomposizione();
    EXPECT_EQ(record.segno, -1);
    EXPECT_EQ(record.trova_esponente(), 0b01100000);
}

struct Evaluation {
    std::string text;
    std::string normalised;
    std::string digits;
    std::string value;
};

std::string expected_output(const Evaluation& row, const std::string& label)
{
    return "\n" + row.normalised + "\n" + row.digits + "\n\n" + label + row.value;
}

TEST(Conversione, WritesNormalisedLineDigitLineAndValue)
{
    const std::vector<Evaluation> rows{
        {"01000000101000000000000000000000", "1,01 * 2^2", "101", "5"},
        {"00111110001000000000000000000000", "1,01 * 2^-3", "0,00101", "0.15625"},
        {"00111111010000000000000000000000", "1,1 * 2^-1", "0,11", "0.75"},
        {"10111111110000000000000000000000", "1,1 * 2^0", "1,1", "-1.5"},
        {"01000001010010000000000000000000", "1,1001 * 2^3", "1100,1", "12.5"},
        {"01000001010100000000000000000000", "1,101 * 2^3", "1101", "13"},
        {"00111111100000000000000000000000", "1, * 2^0", "1", "1"},
        {"010000001", "1, * 2^2", "100", "4"},
        {"0100000010101", "1,0101 * 2^2", "101,01", "5.25"},
        {"01000000010010010000111111011011", "1,10010010000111111011011 * 2^1", "11,0010010000111111011011",
         "3.14159"},
        {"10111101110011001100110011001101", "1,10011001100110011001101 * 2^-4", "0,000110011001100110011001101",
         "-0.1"},
        {pattern('0', "10010001", std::string(23, '1')), "1,11111111111111111111111 * 2^18",
         "1111111111111111111,11111", "524288"},
        {pattern('1', "01110010", std::string(23, '0')), "1, * 2^-13", "0,0000000000001", "-0.00012207"},
        {pattern('0', "10010110", "00000000000000000000001"), "1,00000000000000000000001 * 2^23",
         "100000000000000000000001", "8.38861e+06"},
        {pattern('0', "10010111", "1"), "1,1 * 2^24", "1100000000000000000000000", "2.51658e+07"},
        {pattern('1', "11111110", std::string(23, '1')), "1,11111111111111111111111 * 2^127",
         std::string(24, '1') + std::string(104, '0'), "-3.40282e+38"},
        {pattern('0', "00000001", "1"), "1,1 * 2^-126", "0," + std::string(125, '0') + "11", "1.76324e-38"},
        {pattern('0', "00000000", std::string(23, '0')), "0", "0", "0"},
        {pattern('1', "00000000"), "0", "0", "-0"},
    };
    for (const Evaluation& row : rows) {
        EXPECT_EQ(conversion_of(row.text, 1), expected_output(row, "Final result: ")) << row.text;
        EXPECT_EQ(conversion_of(row.text, 2), expected_output(row, "Risultato finale: ")) << row.text;
    }
}

struct Special {
    std::string text;
    std::int32_t code;
    std::string english;
    std::string italian;
};

TEST(Conversione, SpecialClassesWriteOnlyTheirMessage)
{
    const std::vector<Special> rows{
        {pattern('0', "00000000", "1"), 1, "Subnormal number\n", "Numero denormalizzato\n"},
        {pattern('1', "00000000", std::string(22, '0') + "1"), 1, "Subnormal number\n", "Numero denormalizzato\n"},
        {pattern('0', "11111111"), 2, "+infinity\n", "+infinito\n"},
        {pattern('1', "11111111", std::string(23, '0')), 2, "-infinity\n", "-infinito\n"},
        {pattern('0', "11111111", "1"), 3, "It's not a number\n", "Non \xc3\xa8 un numero\n"},
        {pattern('1', "11111111", std::string(23, '1')), 3, "It's not a number\n", "Non \xc3\xa8 un numero\n"},
    };
    for (const Special& row : rows) {
        std::ostringstream out;
        Binario_Decimale record(1, out);
        record.set_val(row.text);
        record.scomposizione();
        EXPECT_EQ(record.sposta_virgola(), row.code) << row.text;
        EXPECT_EQ(out.str(), "") << row.text;
        EXPECT_EQ(record.parte_intera + record.parte_decimale, "") << row.text;
        EXPECT_EQ(conversion_of(row.text, 1), row.english) << row.text;
        EXPECT_EQ(conversion_of(row.text, 2), row.italian) << row.text;
    }
}

TEST(Conversione, RecordReusedAfterRejectionsEvaluatesLikeAFreshOne)
{
    const std::string valid = "0100000010101";
    std::ostringstream out;
    Binario_Decimale record(1, out);
    for (const std::string& rejected : std::vector<std::string>{"2", "10", pattern('1', "11111111"), pattern('1', "01110001", "111")}) {
        record.set_val(rejected);
        EXPECT_FALSE(record.verifica()) << rejected;
    }
    record.set_val(valid);
    ASSERT_TRUE(record.verifica());
    record.conversione();
    EXPECT_EQ(out.str(), conversion_of(valid));
}

}  // namespace
